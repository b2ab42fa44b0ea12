// The entry point of Vornell.exe. The application object is a process-wide
// object of app/, constructed before this runs.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "framework/app.h"

namespace {

// The program runs elevated from a download folder: before anything loads a
// library, only the system directory may supply one.
void RestrictLibraryLoading() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll")) {
    // Looked up, since systems without the update lack it.
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Takes the current directory out of the search order as well.
  ::SetDllDirectoryW(L"");
}

// Restart-manager support, restart only: after a system update the system
// may start the program again. It reads no command line, so it gives none.
void RegisterForRestart() {
  const vornell::App* app = vornell::App::Current();
  if (app != nullptr && (app->restartManagerSupport & 1u) != 0) {
    ::RegisterApplicationRestart(nullptr, 0);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  RestrictLibraryLoading();
  RegisterForRestart();
  return vornell::RunApplication();
}
