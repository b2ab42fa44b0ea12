#include "framework/win32/gbk_text.h"

#include <windows.h>

#include <climits>

namespace vornell::win32 {

namespace {
constexpr UINT kGbk = 936;
}

std::wstring WideFromGbk(std::string_view gbk) {
  // The conversion functions count in int; longer texts are not ours.
  if (gbk.empty() || gbk.size() > INT_MAX) return {};
  const int length = static_cast<int>(gbk.size());
  const int needed = ::MultiByteToWideChar(kGbk, 0, gbk.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  const int written = ::MultiByteToWideChar(kGbk, 0, gbk.data(), length, wide.data(), needed);
  wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return wide;
}

std::string GbkFromWide(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int length = static_cast<int>(wide.size());
  const int needed =
      ::WideCharToMultiByte(kGbk, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string gbk(static_cast<size_t>(needed), '\0');
  const int written = ::WideCharToMultiByte(kGbk, 0, wide.data(), length, gbk.data(), needed,
                                            nullptr, nullptr);
  gbk.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return gbk;
}

}  // namespace vornell::win32
