#pragma once
// GBK (code page 936) text helpers. A byte 0x81-0xFE leads a double-byte
// character together with the byte after it; every other byte is a
// character of its own. A lead byte at the very end (half a character)
// counts as a single byte.
#include <cstddef>
#include <string_view>

namespace vornell {

constexpr bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Bytes taken by the character that starts at `offset` (1 or 2); 0 at the end.
std::size_t GbkCharacterBytes(std::string_view text, std::size_t offset);

// Characters in `text`, a double-byte character counting once.
std::size_t CountGbkCharacters(std::string_view text);

// The piece of at most `count` characters that begins at character `first`;
// empty when the text has no character `first`. Never splits a character.
std::string_view GbkCharacterSlice(std::string_view text, std::size_t first, std::size_t count);

// The one comparison of names without regard to letter case: whole texts,
// single-byte letters by their capital form (ASCII a-z only), double-byte
// characters byte for byte, so a trail byte that looks like a letter is
// never case-mapped.
bool NamesEqualIgnoreCase(std::string_view a, std::string_view b);

}  // namespace vornell
