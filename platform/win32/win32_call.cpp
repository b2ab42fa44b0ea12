#include "platform/win32/win32_call.h"

#include <cstring>

#include "platform/win32/gbk_wide.h"

namespace vornell {

bool CopyOut(const std::string& text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || text.size() >= bufferSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

bool ToWide(const std::string& gbk, std::wstring& wide) {
  if (GbkToWide(gbk, wide, Conversion::kStrict)) return true;
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return false;
}

bool WideFullPath(const std::wstring& path, std::wstring& full) {
  full = PathFromCall([&path](wchar_t* buffer, DWORD size) {
    return GetFullPathNameW(path.c_str(), size, buffer, nullptr);
  });
  return !full.empty();
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  // Names here are paths: well within the call's int counts.
  if (a.size() > kMaxWideChars) return false;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

bool WideInfPath(const std::string& gbk, std::wstring& full) {
  std::wstring wide;
  return ToWide(gbk, wide) && WideFullPath(wide, full);
}

}  // namespace vornell
