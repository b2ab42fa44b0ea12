#pragma once
// GBK (code page 936) to UTF-16 and back, for the wide system calls, so the
// program reads and finds its names on a Windows of any language.
#include <string>
#include <string_view>

namespace vornell {

constexpr unsigned kGbkCodePage = 936;

// False when `gbk` is not valid GBK (half a character, say) or holds a zero
// byte, which a system call would cut the text at.
bool GbkToWide(std::string_view gbk, std::wstring& wide);

// False when a character has no GBK form; best-fit look-alikes are refused,
// so a name never turns into another, existing one.
bool WideToGbkExact(std::wstring_view wide, std::string& gbk);

// Every character without a GBK form becomes '?', which no file name can
// hold: a name so marked fails where it is used instead of naming another.
std::string WideToGbkMarked(std::wstring_view wide);

}  // namespace vornell
