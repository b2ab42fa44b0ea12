// win7_wait.dll: loaded into the running Vornell.exe, it makes the program's
// message-dispatching wait as strict as Windows 7's, which refuses the wake
// bits that newer headers add to QS_ALLINPUT (QS_TOUCH, QS_POINTER) with
// error 87. Wine takes them. C:\win7-wait.txt says whether the program's
// import was replaced and how many waits were refused.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <string>

#include "tests/wine/probe_dll.h"

namespace {

constexpr DWORD kWindows7Mask = 0x04FF;
std::atomic<long> g_refused{0};

void Report(bool patched) {
  const std::wstring lines = L"patched=" + std::to_wstring(patched ? 1 : 0) + L"\nrefused=" +
                             std::to_wstring(g_refused.load()) + L"\n";
  probe::WriteWhole(lines, L"C:\\win7-wait.tmp", L"C:\\win7-wait.txt");
}

bool g_patched = false;

DWORD WINAPI StrictWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout, DWORD mask) {
  if ((mask & ~kWindows7Mask) != 0) {
    ++g_refused;
    Report(g_patched);
    SetLastError(ERROR_INVALID_PARAMETER);
    return WAIT_FAILED;
  }
  return MsgWaitForMultipleObjects(count, handles, waitAll, timeout, mask);
}

// Points the program's import of user32's MsgWaitForMultipleObjects at the
// strict wait.
bool PatchProgramImport() {
  auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
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
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "MsgWaitForMultipleObjects") != 0) continue;
      DWORD old = 0;
      if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old)) continue;
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(&StrictWait);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
      patched = true;
    }
  }
  return patched;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_patched = PatchProgramImport();
    Report(g_patched);
  }
  return TRUE;
}
