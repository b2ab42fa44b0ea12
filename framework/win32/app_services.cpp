// The application's title and the start-up services of the window system.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "framework/app.h"
#include "framework/startup_marks.h"
#include "platform/win32/gbk_wide.h"
#include "platform/win32/system_library.h"

namespace vornell {

std::string App::AppTitle() const {
  std::wstring name = ProgramFilePath();
  const size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.erase(dot);
  return LenientGbk(name);
}

void InitCommonControls(unsigned classes) {
  MarkStartup("command line, log and lock");
  // Loaded, not imported: an import of comctl32.dll would be taken from the
  // program's folder. The manifest asks for no common controls 6, so the
  // system directory's comctl32.dll is the one the dialogs are made for.
  const auto init = ProcedureOf<decltype(&::InitCommonControlsEx)>(LoadSystemLibrary(L"comctl32.dll"),
                                                                  "InitCommonControlsEx");
  if (init != nullptr) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = 8;
    controls.dwICC = classes;
    init(&controls);
  }
  MarkStartup("common controls");
}

bool InitRichEdit() {
  const bool loaded = LoadSystemLibrary(L"riched20.dll") != nullptr;
  MarkStartup("rich edit");
  return loaded;
}

}  // namespace vornell

namespace vornell {

bool WriteToStartingConsole(const std::string& text) {
  const std::wstring wide = LenientWide(text);
  // A deployment tool that captures the output hands the process a file or a pipe.
  HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (out != nullptr && out != INVALID_HANDLE_VALUE && ::GetFileType(out) != FILE_TYPE_UNKNOWN &&
      ::GetFileType(out) != FILE_TYPE_CHAR) {
    const std::string utf8 = WideToUtf8(wide);
    DWORD written = 0;
    return ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) != FALSE;
  }
  // A GUI program has no console of its own: borrow the one it was started from.
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  bool wrote = false;
  if (console != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    wrote = ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != FALSE;
    ::CloseHandle(console);
  }
  ::FreeConsole();
  return wrote;
}

int ShowAppMessageBox(const std::string& text, unsigned type) {
  std::string caption = "Vornell";
  if (const App* app = App::Current()) caption = app->AppTitle();
  return ::MessageBoxW(nullptr, LenientWide(text).c_str(), LenientWide(caption).c_str(), type);
}

int ShowAppMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  return ::MessageBoxW(nullptr, LenientWide(text).c_str(), LenientWide(caption).c_str(), type | MB_SETFOREGROUND);
}

}  // namespace vornell
