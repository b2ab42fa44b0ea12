#include "platform/win32/gbk_wide.h"

#include <windows.h>

#include <climits>

namespace vornell {

bool GbkToWide(std::string_view gbk, std::wstring& wide) {
  wide.clear();
  if (gbk.empty()) return true;
  if (gbk.size() > INT_MAX || gbk.find('\0') != std::string_view::npos) return false;
  const int length = static_cast<int>(gbk.size());
  const int chars =
      MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), length, nullptr, 0);
  if (chars <= 0) return false;
  wide.resize(static_cast<std::size_t>(chars));
  return MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), length, wide.data(),
                             chars) == chars;
}

namespace {

// `usedDefault` null: mark with '?'; otherwise report whether it was needed.
bool WideToGbk(std::wstring_view wide, std::string& gbk, BOOL* usedDefault) {
  gbk.clear();
  if (wide.empty()) return true;
  if (wide.size() > INT_MAX / 2) return false;
  const int length = static_cast<int>(wide.size());
  const int bytes = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                        nullptr, 0, "?", usedDefault);
  if (bytes <= 0) return false;
  gbk.resize(static_cast<std::size_t>(bytes));
  return WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, gbk.data(),
                             bytes, "?", usedDefault) == bytes;
}

}  // namespace

bool WideToGbkExact(std::wstring_view wide, std::string& gbk) {
  BOOL usedDefault = FALSE;
  if (!WideToGbk(wide, gbk, &usedDefault) || usedDefault) {
    gbk.clear();
    return false;
  }
  return true;
}

std::string WideToGbkMarked(std::wstring_view wide) {
  std::string gbk;
  if (!WideToGbk(wide, gbk, nullptr)) gbk.assign(wide.size(), '?');
  return gbk;
}

}  // namespace vornell
