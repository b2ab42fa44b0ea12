// The entry point of Vornell.exe. The application object is a process-wide
// object of app/, constructed before this runs.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>

#include "framework/app.h"
#include "framework/startup_marks.h"

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
// may start the program again, never after a crash or a hang. It gives no
// command line, so a restart opens the wizard.
void RegisterForRestart() {
  const vornell::App* app = vornell::App::Current();
  // Started with a command line (the unattended mode, above all): never
  // brought back by the system.
  if (app == nullptr || !app->arguments.empty()) return;
  const DWORD flags = vornell::RestartRegistrationFlags(app->restartManagerSupport);
  if (flags != 0) ::RegisterApplicationRestart(nullptr, flags);
}

// The arguments after the program's name, split as the C runtime would.
void TakeArguments() {
  vornell::App* app = vornell::App::Current();
  if (app == nullptr) return;
  int count = 0;
  LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (words == nullptr) return;
  for (int i = 1; i < count; ++i) app->arguments.emplace_back(words[i]);
  ::LocalFree(words);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  vornell::MarkStartup("WinMain");
  RestrictLibraryLoading();
  TakeArguments();
  RegisterForRestart();
  return vornell::RunApplication();
}
