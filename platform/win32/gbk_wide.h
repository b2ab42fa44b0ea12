#pragma once
// GBK (code page 936) to UTF-16 and back, for the wide system calls, so the
// program reads and finds its names on a Windows of any language. Every
// call says how strict it is: a name the program looks for or writes must
// convert exactly; a text it only shows may take a stand-in character.
#include <string>
#include <string_view>

namespace vornell {

constexpr unsigned kGbkCodePage = 936;

enum class Conversion {
  // GBK to UTF-16: false when the text is not valid GBK (half a character,
  // say) or holds a zero byte, which a system call would cut the text at.
  // UTF-16 to GBK: false when a character has no GBK form; best-fit
  // look-alikes are refused, so a name never turns into another, existing one.
  kStrict,
  // Never false: bytes that are not GBK become the system's replacement
  // character, and characters without a GBK form become '?', which no file
  // name can hold, so a name so marked fails where it is used.
  kLenient,
};

bool GbkToWide(std::string_view gbk, std::wstring& wide, Conversion how);
bool WideToGbk(std::wstring_view wide, std::string& gbk, Conversion how);

// The lenient conversions as values, for texts that are shown or read back.
std::wstring LenientWide(std::string_view gbk);
std::string LenientGbk(std::wstring_view wide);

// UTF-16 to UTF-8, for the log file and for output a tool captures; never
// fails (a lone surrogate becomes U+FFFD). Empty when the text is empty or
// too long for the system's int counts.
std::string WideToUtf8(std::wstring_view wide);

}  // namespace vornell
