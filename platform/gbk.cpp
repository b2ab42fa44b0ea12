#include "platform/gbk.h"

namespace vornell {

namespace {

unsigned char CapitalOf(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

}  // namespace

std::size_t GbkCharacterBytes(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) return 0;
  const bool pair = IsGbkLeadByte(static_cast<unsigned char>(text[offset])) &&
                    offset + 1 < text.size();
  return pair ? 2 : 1;
}

std::size_t CountGbkCharacters(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += GbkCharacterBytes(text, i)) ++count;
  return count;
}

std::string_view GbkCharacterSlice(std::string_view text, std::size_t first, std::size_t count) {
  std::size_t begin = 0;
  for (std::size_t skipped = 0; skipped < first && begin < text.size(); ++skipped) {
    begin += GbkCharacterBytes(text, begin);
  }
  std::size_t end = begin;
  for (std::size_t taken = 0; taken < count && end < text.size(); ++taken) {
    end += GbkCharacterBytes(text, end);
  }
  return text.substr(begin, end - begin);
}

bool NamesEqualIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t i = 0;
  while (i < a.size()) {
    const std::size_t width = GbkCharacterBytes(a, i);
    // The same character width on both sides, or the texts differ.
    if (GbkCharacterBytes(b, i) != width) return false;
    if (width == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (CapitalOf(static_cast<unsigned char>(a[i])) !=
               CapitalOf(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += width;
  }
  return true;
}

}  // namespace vornell
