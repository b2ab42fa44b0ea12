// What all of Win32Services' calls share: the error a call left and its
// text; and the one object behind the program's services.
#include "platform/win32/services_win32.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/gbk_wide.h"

namespace vornell {

std::uint32_t Win32Services::LastError() { return GetLastError(); }

std::string Win32Services::ErrorMessage(std::uint32_t code) {
  const DWORD saved = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view wide(text != nullptr ? text : L"", text != nullptr ? length : 0);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' ||
                           wide.back() == L'\t')) {
    wide.remove_suffix(1);
  }
  // Lenient: a character without a GBK form becomes '?'; the text only informs.
  std::string message = LenientGbk(wide);
  if (text != nullptr) LocalFree(text);
  if (message.empty()) message = "Error " + std::to_string(code);
  SetLastError(saved);
  return message;
}

// The shipped program's services: the real system.
Services* DefaultServices() {
  static Win32Services services;
  return &services;
}

}  // namespace vornell
