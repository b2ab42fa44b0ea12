// The application's title and the start-up services of the window system.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "framework/app.h"
#include "framework/win32/gbk_text.h"

namespace vornell {

namespace {

// The program file's full path, however long it is.
std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    // Truncated: try again with room to spare.
    if (path.size() >= 32768 * 2) return {};
    path.resize(path.size() * 2);
  }
}

std::wstring SystemDirectory() {
  const UINT needed = ::GetSystemDirectoryW(nullptr, 0);
  if (needed == 0) return {};
  std::wstring dir(needed, L'\0');
  const UINT length = ::GetSystemDirectoryW(dir.data(), needed);
  if (length == 0 || length >= needed) return {};
  dir.resize(length);
  return dir;
}

}  // namespace

std::string App::AppTitle() const {
  std::wstring name = ModulePath();
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return win32::GbkFromWide(name);
}

void InitCommonControls(unsigned classes) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = 8;
  controls.dwICC = classes;
  ::InitCommonControlsEx(&controls);
}

bool InitRichEdit() {
  // By full system path, so a riched20.dll planted beside the program is never the one loaded.
  const std::wstring dir = SystemDirectory();
  if (dir.empty()) return false;
  const std::wstring path = dir + L"\\riched20.dll";
  HMODULE library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Systems without the search flags refuse them; the full path still holds.
  if (library == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    library = ::LoadLibraryW(path.c_str());
  }
  // Kept loaded for the life of the process: the window class lives in it.
  return library != nullptr;
}

}  // namespace vornell
