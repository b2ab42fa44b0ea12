#pragma once
// What the fuzz targets share: failing loudly, inputs held in heap blocks of
// their exact size (so AddressSanitizer sees a read past them), GBK text made
// by rules of our own, and a reference reading of a Windows command line.
// The references here are written from the rules, not from the code they
// check.
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A broken property: name it and abort, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (false)

namespace vornell::fuzz {

// The bytes of a text in a block of exactly their size: even one byte read
// past the end is a heap overflow. std::string would hide it in its capacity.
class ExactBytes {
 public:
  explicit ExactBytes(std::string_view text)
      : size_(text.size()), data_(new char[text.size()]) {
    if (size_ != 0) std::memcpy(data_.get(), text.data(), size_);
  }
  std::string_view view() const { return {data_.get(), size_}; }

 private:
  std::size_t size_;
  std::unique_ptr<char[]> data_;
};

inline bool IsLead(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }
inline bool IsTrail(unsigned char byte) { return byte >= 0x40 && byte <= 0xFE && byte != 0x7F; }

// A text cut into its characters: a lead byte takes the next byte with it,
// except at the very end, where it stands alone.
inline std::vector<std::string_view> Characters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t width = IsLead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    characters.push_back(text.substr(i, width));
    i += width;
  }
  return characters;
}

// The text with every single-byte letter in its capital form and every
// double-byte character left whole. Two names are equal without regard to
// case exactly when their folded forms are equal.
inline std::string Folded(std::string_view text) {
  std::string folded;
  for (std::string_view character : Characters(text)) {
    if (character.size() == 1 && character[0] >= 'a' && character[0] <= 'z') {
      folded += static_cast<char>(character[0] - 'a' + 'A');
    } else {
      folded += character;
    }
  }
  return folded;
}

inline bool ReferenceNamesEqual(std::string_view a, std::string_view b) {
  return Folded(a) == Folded(b);
}

// Swaps the case of the single-byte letters whose turn comes up in `pattern`
// (bit i % 8 for the i-th letter); double-byte characters stay as they are.
inline std::string SwapLetterCase(std::string_view text, unsigned char pattern) {
  std::string out;
  std::size_t letter = 0;
  for (std::string_view character : Characters(text)) {
    const char c = character[0];
    const bool isLetter = character.size() == 1 && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    if (isLetter && ((pattern >> (letter++ % 8)) & 1) != 0) {
      out += static_cast<char>(c ^ 0x20);
    } else {
      out += character;
    }
  }
  return out;
}

// Well-formed GBK made from any bytes: single bytes below 0x80 and whole
// lead-trail pairs are kept; a lone or broken lead byte, 0x80 and 0xFF are
// dropped, and so are the bytes in `banned` (single-byte characters only:
// a trail byte is part of its pair).
inline std::string WellFormedGbk(std::string_view bytes, std::string_view banned) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte < 0x80) {
      if (banned.find(static_cast<char>(byte)) == std::string_view::npos) out += bytes[i];
    } else if (IsLead(byte) && i + 1 < bytes.size() && IsTrail(static_cast<unsigned char>(bytes[i + 1]))) {
      out += bytes.substr(i, 2);
      ++i;
    }
  }
  return out;
}

// Ends in a backslash character (not a trail byte 0x5C of a pair).
inline bool EndsWithBackslash(std::string_view text) {
  const std::vector<std::string_view> characters = Characters(text);
  return !characters.empty() && characters.back() == "\\";
}

// The arguments of a command line by the usual Windows rules, read
// character by character as the system reads the text once it is wide:
// blanks outside quotes separate arguments, a double quote opens or closes a
// quoted stretch, 2n backslashes before a quote stand for n, 2n+1 for n and
// a literal quote, other backslashes for themselves.
inline std::vector<std::string> SplitCommandLine(std::string_view line) {
  const std::vector<std::string_view> characters = Characters(line);
  std::vector<std::string> arguments;
  std::size_t i = 0;
  while (i < characters.size()) {
    while (i < characters.size() && (characters[i] == " " || characters[i] == "\t")) ++i;
    if (i == characters.size()) break;
    std::string argument;
    bool quoted = false;
    while (i < characters.size()) {
      const std::string_view c = characters[i];
      if (!quoted && (c == " " || c == "\t")) break;
      if (c == "\\") {
        std::size_t run = 0;
        while (i < characters.size() && characters[i] == "\\") {
          ++run;
          ++i;
        }
        if (i < characters.size() && characters[i] == "\"") {
          argument.append(run / 2, '\\');
          if (run % 2 == 1) {
            argument += '"';
            ++i;
          }
        } else {
          argument.append(run, '\\');
        }
        continue;
      }
      if (c == "\"") {
        quoted = !quoted;
      } else {
        argument += c;
      }
      ++i;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

// Consumes `pieces` one after the other from the front of `text`; true when
// they make up all of it, byte for byte.
inline bool IsExactly(std::string_view text, std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces) {
    if (text.substr(0, piece.size()) != piece) return false;
    text.remove_prefix(piece.size());
  }
  return text.empty();
}

}  // namespace vornell::fuzz
