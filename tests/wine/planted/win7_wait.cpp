// win7_wait.dll: loaded into the running Vornell.exe, it makes the program's
// message-dispatching wait as strict as Windows 7's, which refuses the wake
// bits that newer headers add to QS_ALLINPUT (QS_TOUCH, QS_POINTER) with
// error 1004 (ERROR_INVALID_FLAGS; 87 on some updates). Wine takes them. C:\win7-wait.txt says whether the program's
// import was replaced, how many waits were refused, and the mask of the
// first wait let through.
#include <windows.h>

#include <atomic>
#include <string>

#include "tests/wine/probe_dll.h"

namespace {

constexpr DWORD kWindows7Mask = 0x04FF;
std::atomic<long> g_refused{0};
std::atomic<DWORD> g_accepted{0};

void Report(bool patched) {
  const std::wstring lines = L"patched=" + std::to_wstring(patched ? 1 : 0) + L"\nrefused=" +
                             std::to_wstring(g_refused.load()) + L"\naccepted=" +
                             std::to_wstring(g_accepted.load()) + L"\n";
  probe::WriteWhole(lines, L"C:\\win7-wait.tmp", L"C:\\win7-wait.txt");
}

bool g_patched = false;

DWORD WINAPI StrictWait(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeout, DWORD mask) {
  if ((mask & ~kWindows7Mask) != 0) {
    ++g_refused;
    Report(g_patched);
    SetLastError(ERROR_INVALID_FLAGS);
    return WAIT_FAILED;
  }
  DWORD none = 0;
  if (g_accepted.compare_exchange_strong(none, mask)) Report(g_patched);
  return MsgWaitForMultipleObjects(count, handles, waitAll, timeout, mask);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_patched = probe::PatchUser32Import(GetModuleHandleW(nullptr), "MsgWaitForMultipleObjects",
                                         reinterpret_cast<void*>(&StrictWait));
    Report(g_patched);
  }
  return TRUE;
}
