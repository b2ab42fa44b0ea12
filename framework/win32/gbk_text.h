#pragma once
// The program holds its texts as GBK bytes; the window system is spoken to in
// UTF-16 so that the texts read right whatever the system's ANSI code page is.
#include <string>
#include <string_view>

namespace vornell::win32 {

// Code page 936 (GBK) to UTF-16. Bytes that are not GBK become the system's
// replacement character rather than failing the whole text.
std::wstring WideFromGbk(std::string_view gbk);
// UTF-16 to GBK; characters GBK lacks become '?'.
std::string GbkFromWide(std::wstring_view wide);

}  // namespace vornell::win32
