#include "platform/win32/gbk_wide.h"

#include <windows.h>

#include <climits>

namespace vornell {

bool GbkToWide(std::string_view gbk, std::wstring& wide, Conversion how) {
  wide.clear();
  if (gbk.empty()) return true;
  const bool strict = how == Conversion::kStrict;
  // The conversion functions count in int; longer texts are not ours.
  if (gbk.size() > INT_MAX) return !strict;
  if (strict && gbk.find('\0') != std::string_view::npos) return false;
  const DWORD flags = strict ? MB_ERR_INVALID_CHARS : 0;
  const int length = static_cast<int>(gbk.size());
  const int chars = MultiByteToWideChar(kGbkCodePage, flags, gbk.data(), length, nullptr, 0);
  if (chars <= 0) return !strict;
  wide.resize(static_cast<std::size_t>(chars));
  const int written = MultiByteToWideChar(kGbkCodePage, flags, gbk.data(), length, wide.data(), chars);
  if (written == chars) return true;
  wide.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return !strict;
}

bool WideToGbk(std::wstring_view wide, std::string& gbk, Conversion how) {
  gbk.clear();
  if (wide.empty()) return true;
  const bool strict = how == Conversion::kStrict;
  BOOL usedDefault = FALSE;
  BOOL* const noteDefault = strict ? &usedDefault : nullptr;
  if (wide.size() <= INT_MAX / 2) {
    const int length = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                          nullptr, 0, "?", noteDefault);
    if (bytes > 0) {
      gbk.resize(static_cast<std::size_t>(bytes));
      if (WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, gbk.data(),
                              bytes, "?", noteDefault) == bytes &&
          !usedDefault) {
        return true;
      }
    }
  }
  if (strict) {
    gbk.clear();
    return false;
  }
  gbk.assign(wide.size(), '?');
  return true;
}

std::wstring LenientWide(std::string_view gbk) {
  std::wstring wide;
  GbkToWide(gbk, wide, Conversion::kLenient);
  return wide;
}

std::string LenientGbk(std::wstring_view wide) {
  std::string gbk;
  WideToGbk(wide, gbk, Conversion::kLenient);
  return gbk;
}

std::string WideToUtf8(std::wstring_view wide) {
  // Up to 3 bytes for each UTF-16 unit: the answer must fit in an int.
  if (wide.empty() || wide.size() > INT_MAX / 3) return {};
  const int length = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}

}  // namespace vornell
