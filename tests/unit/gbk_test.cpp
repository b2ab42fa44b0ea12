// The name comparison and the GBK helpers. Narrow literals are GBK bytes
// (the build converts them), so "Ⅱ" below is A2 F2.
#include "platform/gbk.h"

#include <gtest/gtest.h>

#include <string>

namespace vornell {
namespace {

TEST(GbkLiterals, BuildTurnsSourceTextIntoGbkBytes) {
  EXPECT_EQ(std::string("Ⅱ"), std::string("\xA2\xF2"));
  EXPECT_EQ(std::string("RX730TⅡ").size(), 8u);
  // Characters whose trail bytes are ASCII letters: 丄 81 41, 乤 81 61, 癆 B0 41, 癮 B0 61.
  EXPECT_EQ(std::string("丄"), std::string("\x81\x41"));
  EXPECT_EQ(std::string("乤"), std::string("\x81\x61"));
  EXPECT_EQ(std::string("癆"), std::string("\xB0\x41"));
  EXPECT_EQ(std::string("癮"), std::string("\xB0\x61"));
}

TEST(NamesEqualIgnoreCase, LatinLettersCompareByCapitalForm) {
  EXPECT_TRUE(NamesEqualIgnoreCase("vid_f0e1&pid_c20b", "VID_F0E1&PID_C20B"));
  EXPECT_TRUE(NamesEqualIgnoreCase("Orvane RX730T", "oRVANE rx730t"));
  EXPECT_FALSE(NamesEqualIgnoreCase("vid_f0e1&pid_c20b", "vid_f0e1&pid_c20c"));
  // Only a-z map: '@' (0x40) is not the capital of '`' (0x60), nor '[' of '{'.
  EXPECT_FALSE(NamesEqualIgnoreCase("@", "`"));
  EXPECT_FALSE(NamesEqualIgnoreCase("[", "{"));
  EXPECT_FALSE(NamesEqualIgnoreCase("_", "\x7F"));
  // Bytes 0x80 and 0xFF are no lead bytes and stay as they are.
  EXPECT_TRUE(NamesEqualIgnoreCase("\x80" "a", "\x80" "A"));
  EXPECT_FALSE(NamesEqualIgnoreCase("\xFF", "\xDF"));
}

TEST(NamesEqualIgnoreCase, DoubleByteCharactersCompareWhole) {
  EXPECT_TRUE(NamesEqualIgnoreCase("Orvane RX730TⅡ", "orvane rx730tⅡ"));
  EXPECT_TRUE(NamesEqualIgnoreCase("Orvane RX730TⅡ LPT", "ORVANE RX730TⅡ lpt"));
  EXPECT_FALSE(NamesEqualIgnoreCase("Orvane RX730TⅡ", "Orvane RX730TⅢ"));
  EXPECT_FALSE(NamesEqualIgnoreCase("Orvane RX730TⅡ", "Orvane RX730TII"));
  // A suffix makes another name.
  EXPECT_FALSE(NamesEqualIgnoreCase("Orvane RX730TⅡ", "Orvane RX730TⅡ (副本 1)"));
}

TEST(NamesEqualIgnoreCase, TrailBytesThatLookLikeLettersAreNeverCaseMapped) {
  // Each pair differs only in the case of its trail byte: different characters.
  EXPECT_FALSE(NamesEqualIgnoreCase("丄", "乤"));
  EXPECT_FALSE(NamesEqualIgnoreCase("癆", "癮"));
  EXPECT_FALSE(NamesEqualIgnoreCase("打印机癆", "打印机癮"));
  EXPECT_FALSE(NamesEqualIgnoreCase("x乤", "X丄"));
  EXPECT_TRUE(NamesEqualIgnoreCase("癆", "癆"));
  // After a double-byte character, single-byte letters map again.
  EXPECT_TRUE(NamesEqualIgnoreCase("丄a", "丄A"));
  EXPECT_TRUE(NamesEqualIgnoreCase("a癮b", "A癮B"));
  // A lead byte as trail byte: the pair 81 81, then a single letter.
  EXPECT_TRUE(NamesEqualIgnoreCase("\x81\x81" "a", "\x81\x81" "A"));
  EXPECT_FALSE(NamesEqualIgnoreCase("\x81\x81" "a", "\x81\x81" "b"));
}

TEST(NamesEqualIgnoreCase, HalfACharacterAtTheEndIsOneByte) {
  EXPECT_TRUE(NamesEqualIgnoreCase("RX\xA2", "rx\xA2"));
  EXPECT_FALSE(NamesEqualIgnoreCase("RX\xA2", "RX\xA3"));
  EXPECT_FALSE(NamesEqualIgnoreCase("RX\xA2", "RXⅡ"));
  EXPECT_FALSE(NamesEqualIgnoreCase("RXⅡ", "RX\xA2"));
  // Equal length, but a lead byte where the other text has a letter.
  EXPECT_FALSE(NamesEqualIgnoreCase("\x81" "a", "aa"));
  EXPECT_FALSE(NamesEqualIgnoreCase("a\x81", "aa"));
}

TEST(NamesEqualIgnoreCase, EmptyTextsAndLengths) {
  EXPECT_TRUE(NamesEqualIgnoreCase("", ""));
  EXPECT_FALSE(NamesEqualIgnoreCase("", "a"));
  EXPECT_FALSE(NamesEqualIgnoreCase("Ⅱ", ""));
  EXPECT_FALSE(NamesEqualIgnoreCase("Orvane", "Orvane "));
  EXPECT_FALSE(NamesEqualIgnoreCase("Orvane RX730TⅡ", "Orvane RX730T"));
  // Embedded zero bytes are part of the text.
  EXPECT_FALSE(NamesEqualIgnoreCase(std::string_view("a\0b", 3), std::string_view("a\0c", 3)));
  EXPECT_TRUE(NamesEqualIgnoreCase(std::string_view("a\0b", 3), std::string_view("A\0B", 3)));
}

TEST(GbkCharacters, CountAndStep) {
  EXPECT_EQ(CountGbkCharacters(""), 0u);
  EXPECT_EQ(CountGbkCharacters("RX730TⅡ"), 7u);
  EXPECT_EQ(CountGbkCharacters("打印机"), 3u);
  EXPECT_EQ(CountGbkCharacters("a\xA2"), 2u);  // half a character counts once
  EXPECT_EQ(CountGbkCharacters("丄乤"), 2u);
  EXPECT_EQ(GbkCharacterBytes("aⅡ", 0), 1u);
  EXPECT_EQ(GbkCharacterBytes("aⅡ", 1), 2u);
  EXPECT_EQ(GbkCharacterBytes("aⅡ", 3), 0u);
  EXPECT_EQ(GbkCharacterBytes("a\xA2", 1), 1u);
}

TEST(GbkCharacters, SliceNeverSplitsACharacter) {
  const std::string path = "\\\\?\\usb#vid_f0e1&pid_c20b#5&1a2b&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  EXPECT_EQ(GbkCharacterSlice(path, 8, 17), "vid_f0e1&pid_c20b");
  EXPECT_EQ(GbkCharacterSlice("\\\\?\\usb#", 8, 17), "");
  EXPECT_EQ(GbkCharacterSlice("\\\\?\\usb#vid", 8, 17), "vid");
  EXPECT_EQ(GbkCharacterSlice("打印机Ⅱx", 1, 2), "印机");
  EXPECT_EQ(GbkCharacterSlice("打印机Ⅱx", 3, 5), "Ⅱx");
  EXPECT_EQ(GbkCharacterSlice("ab\xA2", 2, 1), "\xA2");
  EXPECT_EQ(GbkCharacterSlice("abc", 0, 0), "");
}

}  // namespace
}  // namespace vornell
