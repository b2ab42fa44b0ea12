// The real system behind the process's own calls: what it runs on, its
// folder, and time.
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/win32/services_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_call.h"

namespace vornell {

bool Win32Services::QueryIsWow64Process(bool& isWow64) {
  using IsWow64Function = BOOL(WINAPI*)(HANDLE, PBOOL);
  const auto query = ProcedureOf<IsWow64Function>(GetModuleHandleW(L"kernel32"), "IsWow64Process");
  if (query == nullptr) {
    isWow64 = false;
    return false;
  }
  BOOL flag = FALSE;
  query(GetCurrentProcess(), &flag);
  isWow64 = flag != FALSE;
  return true;
}

bool Win32Services::QueryNativeMachine(std::uint16_t& machine) {
  CallError callError;
  // Windows 10 1709 and later; importing it would stop the program loading on Windows 7.
  using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  const auto query = ProcedureOf<IsWow64Process2Function>(GetModuleHandleW(L"kernel32"), "IsWow64Process2");
  USHORT process = 0, native = 0;
  const bool known = query != nullptr && query(GetCurrentProcess(), &process, &native);
  callError.Note();
  if (known) machine = native;
  return known;
}

bool Win32Services::EnterProgramFolder() {
  CallError callError;
  const std::wstring program = ProgramFilePath();
  const std::size_t slash = program.find_last_of(L"\\/");
  if (slash == std::wstring::npos) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    callError.Note();
    return false;
  }
  // The drive's root keeps its backslash: "C:" alone names a current directory.
  const std::wstring folder = program.substr(0, slash == 2 ? slash + 1 : slash);
  const BOOL entered = SetCurrentDirectoryW(folder.c_str());
  callError.Note();
  return entered != FALSE;
}

void Win32Services::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::uint64_t Win32Services::TickCountMs() { return GetTickCount64(); }

}  // namespace vornell
