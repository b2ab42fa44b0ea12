#pragma once
// What a probe DLL loaded into the running Vornell.exe shares: finding the
// wizard's window in its own process, running on a thread of its own, and
// leaving its answers as a UTF-16 file of "key=value" lines that appears
// whole (written aside, then renamed).
#include <windows.h>

#include <string>

namespace probe {

inline BOOL CALLBACK FindOwnWizard(HWND hwnd, LPARAM lp) {
  static const wchar_t kCaption[] = L"Orvane\u6253\u5370\u673a\u5b89\u88c5\u7a0b\u5e8f";
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  if (pid == GetCurrentProcessId() && std::wstring(text) == kCaption) {
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The wizard's window of this process; nullptr when there is none.
inline HWND OwnWizardWindow() {
  HWND found = nullptr;
  EnumWindows(FindOwnWizard, reinterpret_cast<LPARAM>(&found));
  return found;
}

inline void WriteWhole(const std::wstring& lines, const wchar_t* aside, const wchar_t* path) {
  HANDLE file = CreateFileW(aside, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, lines.data(), static_cast<DWORD>(lines.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(file);
  MoveFileExW(aside, path, MOVEFILE_REPLACE_EXISTING);
}

// For DllMain: not under the loader lock, the probe runs on a thread of its own.
inline void StartProbe(DWORD reason, LPTHREAD_START_ROUTINE run) {
  if (reason != DLL_PROCESS_ATTACH) return;
  HANDLE thread = CreateThread(nullptr, 0, run, nullptr, 0, nullptr);
  if (thread != nullptr) CloseHandle(thread);
}

}  // namespace probe
