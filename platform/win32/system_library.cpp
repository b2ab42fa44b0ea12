#include "platform/win32/system_library.h"

namespace vornell {

namespace {
constexpr UINT kMaxWideChars = 32767;  // the system's path limit
}  // namespace

std::wstring SystemDirectory() {
  std::wstring dir(MAX_PATH, L'\0');
  for (;;) {
    const UINT length = ::GetSystemDirectoryW(dir.data(), static_cast<UINT>(dir.size()));
    if (length == 0) return {};
    if (length < dir.size()) {
      dir.resize(length);
      return dir;
    }
    if (length > kMaxWideChars) {
      ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return {};
    }
    dir.resize(length);  // the answer then counts the terminator
  }
}

std::wstring WindowsFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  // The system's, not a Terminal Server user's private Windows folder.
  const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return {};
  std::wstring path(folder, length);
  if (path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring ProgramFilePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Truncated: try again with room to spare.
    if (path.size() > kMaxWideChars) return {};
    path.resize(path.size() * 2);
  }
}

HMODULE LoadSystemLibrary(const wchar_t* name) {
  const std::wstring dir = SystemDirectory();
  if (dir.empty()) return nullptr;
  // A full path, so no search (and no side-by-side redirection) chooses the file.
  const std::wstring path = dir + L"\\" + name;
  HMODULE module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without the loader update (KB2533623) the flag is refused with error 87.
  // The altered search order then takes the library's own dependencies from
  // its folder, the system directory, before the program's.
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return module;
}

}  // namespace vornell
