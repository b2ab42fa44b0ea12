#pragma once
// What a probe DLL loaded into the running Vornell.exe shares: finding the
// wizard's window in its own process, running on a thread of its own, and
// leaving its answers as a UTF-16 file of "key=value" lines that appears
// whole (written aside, then renamed).
#include <windows.h>

#include <string>

namespace probe {

struct OwnWindowSearch {
  const wchar_t* caption;
  HWND found;
};

inline BOOL CALLBACK FindOwnWindow(HWND hwnd, LPARAM lp) {
  auto* search = reinterpret_cast<OwnWindowSearch*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  if (pid == GetCurrentProcessId() && std::wstring(text) == search->caption) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The top-level window of this process with this caption; nullptr when there is none.
inline HWND OwnWindow(const wchar_t* caption) {
  OwnWindowSearch search{caption, nullptr};
  EnumWindows(FindOwnWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The wizard's window of this process; nullptr when there is none.
inline HWND OwnWizardWindow() { return OwnWindow(L"Orvane\u6253\u5370\u673a\u5b89\u88c5\u7a0b\u5e8f"); }

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

// Points `module`'s import of `function` from user32.dll at `replacement`;
// false when the module imports no such function.
inline bool PatchUser32Import(HMODULE module, const char* function, void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  bool patched = false;
  for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name != 0;
       ++dll) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + dll->Name), "user32.dll") != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
        base + (dll->OriginalFirstThunk != 0 ? dll->OriginalFirstThunk : dll->FirstThunk));
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (lstrcmpA(reinterpret_cast<const char*>(byName->Name), function) != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) continue;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      patched = true;
    }
  }
  return patched;
}

}  // namespace probe
