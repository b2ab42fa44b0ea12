#include "wizard/license_text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <regex>
#include <string>
#include <vector>

namespace vornell {
namespace {

// GBK: a byte from 0x81 up leads a two-byte character, anything below is ASCII.
// Fails the calling test on a lead byte without a valid trail byte.
std::size_t GbkCharCount(const std::string& s) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < s.size(); ++chars) {
    const auto lead = static_cast<unsigned char>(s[i]);
    if (lead < 0x81) {
      ++i;
      continue;
    }
    if (lead == 0xFF || i + 1 >= s.size()) {
      ADD_FAILURE() << "bad or truncated GBK lead byte at " << i;
      return chars;
    }
    const auto trail = static_cast<unsigned char>(s[i + 1]);
    if (trail < 0x40 || trail == 0x7F || trail == 0xFF) {
      ADD_FAILURE() << "bad GBK trail byte at " << i + 1;
    }
    i += 2;
  }
  return chars;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

std::string Entry(int i) { return licenseEntries[static_cast<std::size_t>(i)]; }

struct EntrySize {
  int entry;
  std::size_t chars;
  std::size_t bytes;
};

// Characters and GBK bytes of entries 1 to 51 of the agreement as it ships.
constexpr EntrySize kEntrySizes[] = {
    {1, 20, 20},
    {2, 136, 272},
    {3, 61, 83},
    {4, 62, 124},
    {5, 28, 56},
    {6, 55, 108},
    {7, 59, 116},
    {8, 43, 86},
    {9, 20, 40},
    {10, 5, 7},
    {11, 206, 412},
    {12, 5, 7},
    {13, 71, 142},
    {14, 98, 194},
    {15, 59, 118},
    {16, 57, 114},
    {17, 108, 213},
    {18, 55, 110},
    {19, 7, 11},
    {20, 31, 62},
    {21, 65, 130},
    {22, 13, 23},
    {23, 191, 341},
    {24, 80, 160},
    {25, 9, 15},
    {26, 66, 132},
    {27, 7, 11},
    {28, 163, 305},
    {29, 5, 7},
    {30, 20, 40},
    {31, 40, 80},
    {32, 80, 160},
    {33, 8, 13},
    {34, 12, 24},
    {35, 89, 178},
    {36, 24, 48},
    {37, 30, 60},
    {38, 27, 54},
    {39, 7, 11},
    {40, 211, 422},
    {41, 47, 94},
    {42, 47, 94},
    {43, 139, 274},
    {44, 9, 14},
    {45, 65, 130},
    {46, 6, 8},
    {47, 52, 101},
    {48, 23, 43},
    {49, 65, 126},
    {50, 8, 12},
    {51, 332, 659},
};

TEST(LicenseText, TitleAndCodeLine) {
  // The title must reach the box as GBK, not as the UTF-8 of the source.
  const std::string titleGbk =
      "\x4f\x72\x76\x61\x6e\x65\xcd\xbc\xcf\xf1\xd0\xed\xbf\xc9\xd0\xad\xd2\xe9";
  EXPECT_EQ(Entry(0), titleGbk);
  EXPECT_EQ(Entry(0), "Orvane图像许可协议");

  // Letters and digits, digits, digits; one blank; MM/YYYY.
  const std::regex codeLine("[A-Z]+[0-9]+-[0-9]+-[0-9]+ (0[1-9]|1[0-2])/20[0-9]{2}");
  EXPECT_TRUE(std::regex_match(Entry(1), codeLine)) << Entry(1);
}

TEST(LicenseText, EntrySizesMatchTable) {
  ASSERT_EQ(std::size(kEntrySizes), static_cast<std::size_t>(kLicenseEntryCount - 1));
  std::size_t chars = 0;
  std::size_t bytes = 0;
  for (const EntrySize& row : kEntrySizes) {
    SCOPED_TRACE("entry " + std::to_string(row.entry));
    const std::string text = Entry(row.entry);
    EXPECT_EQ(GbkCharCount(text), row.chars);
    EXPECT_EQ(text.size(), row.bytes);
    chars += GbkCharCount(text);
    bytes += text.size();
  }
  EXPECT_EQ(chars, 3126u);
  EXPECT_EQ(bytes, 6064u);
}

TEST(LicenseText, NoEntryHoldsLineBreaksTabsOrOuterBlanks) {
  const std::string wideBlank = "　";
  for (int i = 0; i < kLicenseEntryCount; ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    const std::string text = Entry(i);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.find_first_of("\r\n\t"), std::string::npos);
    EXPECT_NE(text.front(), ' ');
    EXPECT_NE(text.back(), ' ');
    EXPECT_FALSE(StartsWith(text, wideBlank));
    EXPECT_FALSE(text.size() >= 2 && text.compare(text.size() - 2, 2, wideBlank) == 0);
  }
}

TEST(LicenseText, SectionHeadingsAreNumberedAndOnlyWhereExpected) {
  const std::vector<std::pair<int, std::string>> headings = {
      {10, "1. 权利"},           {12, "2. 许可"},
      {19, "3. 可转让性"},       {22, "4. 第三方软件组件和产品"},
      {25, "5. 软件产品规格"},   {27, "6. 数据使用"},
      {29, "7. 费用"},           {33, "8. 无保证声明"},
      {39, "9. 责任限制"},       {44, "10. 消费者权利"},
      {46, "11. 通则"},          {50, "12. 争议解决"},
  };
  for (const auto& [index, heading] : headings) {
    EXPECT_EQ(Entry(index), heading) << "entry " << index;
  }
  // Nothing else may start like a heading, or a section would appear twice.
  const std::regex headingStart("[0-9]+\\. .*");
  int count = 0;
  for (int i = 0; i < kLicenseEntryCount; ++i) {
    if (std::regex_match(Entry(i), headingStart)) ++count;
  }
  EXPECT_EQ(count, 12);
}

TEST(LicenseText, BulletsSubItemsAndDefinitions) {
  for (int i = 0; i < kLicenseEntryCount; ++i) {
    const bool bullet = i == 6 || i == 7;
    EXPECT_EQ(StartsWith(Entry(i), "* "), bullet) << "entry " << i;
  }
  EXPECT_TRUE(StartsWith(Entry(47), "a) "));
  EXPECT_TRUE(StartsWith(Entry(48), "b) "));
  EXPECT_TRUE(StartsWith(Entry(49), "c) "));

  const std::string open = "“";
  const std::string close = "”";
  for (int i : {8, 9}) {
    SCOPED_TRACE("entry " + std::to_string(i));
    const std::string text = Entry(i);
    ASSERT_TRUE(StartsWith(text, open));
    const std::size_t end = text.find(close, open.size());
    ASSERT_NE(end, std::string::npos);
    EXPECT_GT(end, open.size()) << "empty term";
    EXPECT_GT(text.size(), end + close.size()) << "term without a definition";
  }
}

TEST(LicenseText, InlineClausesUseFullWidthParentheses) {
  const std::string c1 = "（1）";
  const std::string c2 = "（2）";
  const std::string c3 = "（3）";
  auto inOrder = [](const std::string& text, const std::vector<std::string>& marks) {
    std::size_t at = 0;
    for (const std::string& mark : marks) {
      at = text.find(mark, at);
      if (at == std::string::npos) return false;
      at += mark.size();
    }
    return true;
  };
  EXPECT_TRUE(inOrder(Entry(14), {c1, c2}));
  EXPECT_EQ(Entry(14).find(c3), std::string::npos);
  EXPECT_TRUE(inOrder(Entry(17), {c1, c2, c3}));
  EXPECT_TRUE(StartsWith(Entry(43), c1));
  EXPECT_TRUE(inOrder(Entry(43), {c1, c2, c3}));
  for (int i : {14, 17, 43}) {
    EXPECT_EQ(Entry(i).find("(1)"), std::string::npos) << "entry " << i;
  }
}

TEST(LicenseText, ComposedTextJoinsEntriesWithOneLineBreakEach) {
  const std::string text = ComposeLicenseText("\r\n");
  EXPECT_TRUE(StartsWith(text, Entry(0) + "\r\n" + Entry(1) + "\r\n"));
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(text.find("\r\n\r\n"), std::string::npos) << "blank line";

  // Cutting at every CR LF gives back exactly the entries, in order.
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(text.substr(from, at - from));
  }
  EXPECT_EQ(from, text.size());
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLicenseEntryCount));
  for (int i = 0; i < kLicenseEntryCount; ++i) {
    EXPECT_EQ(lines[static_cast<std::size_t>(i)], Entry(i)) << "line " << i;
  }

  EXPECT_EQ(GbkCharCount(text), 3242u);
  EXPECT_EQ(text.size(), 6186u);
}

TEST(LicenseText, ComposeUsesTheGivenSeparatorAndDoesNotAccumulate) {
  const std::string first = ComposeLicenseText("\r\n");
  const std::string second = ComposeLicenseText("\r\n");
  EXPECT_EQ(first, second);

  // The separator comes from the caller, not from a literal inside.
  const std::string marked = ComposeLicenseText("<>");
  EXPECT_EQ(marked.find('\r'), std::string::npos);
  EXPECT_EQ(marked.size(), first.size());
  EXPECT_TRUE(StartsWith(marked, Entry(0) + "<>" + Entry(1) + "<>"));
  EXPECT_EQ(marked.substr(marked.size() - 2 - Entry(51).size() - 2),
            "<>" + Entry(51) + "<>");
}

}  // namespace
}  // namespace vornell
