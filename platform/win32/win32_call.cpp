#include "platform/win32/win32_call.h"

#include <vector>

#include "platform/win32/gbk_wide.h"

namespace vornell {

bool ToWide(const std::string& gbk, std::wstring& wide) {
  if (GbkToWide(gbk, wide, Conversion::kStrict)) return true;
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return false;
}

bool WideFullPath(const std::wstring& path, std::wstring& full) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0) return false;
    if (length < buffer.size()) {
      full.assign(buffer.data(), length);
      return true;
    }
    if (length > kMaxWideChars) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
    buffer.resize(length);  // the answer then counts the terminator
  }
}

bool WideInfPath(const std::string& gbk, std::wstring& full) {
  std::wstring wide;
  return ToWide(gbk, wide) && WideFullPath(wide, full);
}

}  // namespace vornell
