// The MSI's custom actions: they run the installed Vornell.exe unattended
// (install, rollback, removal), map its exit code for Windows Installer and
// write what happened into the MSI's log; an immediate action at the end
// asks for the restart a deferred one could not ask for itself.
//
// msi.dll is no KnownDLL: it is taken from the process that loaded us (the
// custom-action server has it), never imported, so this DLL passes the same
// import check as the program.
#include <windows.h>
#include <msiquery.h>

#include <string>
#include <vector>

#include "msi/action_outcome.h"

namespace {

using vornell::msi::ActionOutcome;
using vornell::msi::ProgramRun;

// Where a deferred action leaves the need for a restart for the immediate
// action after InstallFinalize; only administrators can write it.
constexpr wchar_t kRecordKey[] = L"Software\\Orvane\\Vornell";
constexpr wchar_t kOrvaneKey[] = L"Software\\Orvane";
constexpr wchar_t kRestartValue[] = L"MsiRestartNeeded";
// Longer than the program's own limit on a run nobody watches (30 minutes).
constexpr DWORD kProgramWaitMs = 35u * 60u * 1000u;

struct MsiCalls {
  decltype(&MsiCreateRecord) createRecord = nullptr;
  decltype(&MsiRecordSetStringW) setString = nullptr;
  decltype(&MsiProcessMessage) processMessage = nullptr;
  decltype(&MsiCloseHandle) closeHandle = nullptr;
  decltype(&MsiGetPropertyW) getProperty = nullptr;
  decltype(&MsiSetMode) setMode = nullptr;
};

template <typename T>
T ProcedureOf(HMODULE module, const char* name) {
  return module != nullptr ? reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

const MsiCalls* Msi() {
  static const MsiCalls calls = [] {
    HMODULE module = GetModuleHandleW(L"msi.dll");
    if (module == nullptr) {
      wchar_t system[MAX_PATH] = {};
      const UINT length = GetSystemDirectoryW(system, MAX_PATH);
      if (length > 0 && length < MAX_PATH) module = LoadLibraryW((std::wstring(system) + L"\\msi.dll").c_str());
    }
    MsiCalls c;
    c.createRecord = ProcedureOf<decltype(c.createRecord)>(module, "MsiCreateRecord");
    c.setString = ProcedureOf<decltype(c.setString)>(module, "MsiRecordSetStringW");
    c.processMessage = ProcedureOf<decltype(c.processMessage)>(module, "MsiProcessMessage");
    c.closeHandle = ProcedureOf<decltype(c.closeHandle)>(module, "MsiCloseHandle");
    c.getProperty = ProcedureOf<decltype(c.getProperty)>(module, "MsiGetPropertyW");
    c.setMode = ProcedureOf<decltype(c.setMode)>(module, "MsiSetMode");
    return c;
  }();
  if (calls.createRecord == nullptr || calls.setString == nullptr || calls.processMessage == nullptr ||
      calls.closeHandle == nullptr || calls.getProperty == nullptr || calls.setMode == nullptr) {
    return nullptr;
  }
  return &calls;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (length <= 0) return L"?";
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// One line in the MSI's log (msiexec /l*v), shown to nobody.
void SayToMsiLog(MSIHANDLE install, const std::wstring& text) {
  const MsiCalls* msi = Msi();
  if (msi == nullptr) return;
  const MSIHANDLE record = msi->createRecord(1);
  if (record == 0) return;
  // Field 0 is the template: brackets in a path would be read as fields.
  msi->setString(record, 0, L"[1]");
  msi->setString(record, 1, (L"Vornell: " + text).c_str());
  msi->processMessage(install, INSTALLMESSAGE_INFO, record);
  msi->closeHandle(record);
}

// A deferred action reads what the immediate set-up left it: the program
// folder, with its final backslash.
std::wstring ActionData(MSIHANDLE install) {
  const MsiCalls* msi = Msi();
  if (msi == nullptr) return {};
  DWORD length = 0;
  wchar_t none[1] = {};
  if (msi->getProperty(install, L"CustomActionData", none, &length) != ERROR_MORE_DATA) return {};
  std::wstring value(length + 1, L'\0');
  length += 1;
  if (msi->getProperty(install, L"CustomActionData", value.data(), &length) != ERROR_SUCCESS) return {};
  value.resize(length);
  return value;
}

// %SystemRoot%\Logs, where only administrators can create files; made when
// missing (it inherits the Windows folder's permissions then).
std::wstring LogFolder() {
  wchar_t windows[MAX_PATH] = {};
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::wstring folder = std::wstring(windows) + L"\\Logs";
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {};
  return folder;
}

// The log the program wrote, read back for the step that failed: the end
// of it is enough.
std::string ReadLogEnd(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  constexpr LONGLONG kTail = 64 * 1024;
  LARGE_INTEGER size{};
  std::string text;
  if (GetFileSizeEx(file, &size)) {
    LARGE_INTEGER from{};
    from.QuadPart = size.QuadPart > kTail ? size.QuadPart - kTail : 0;
    if (SetFilePointerEx(file, from, nullptr, FILE_BEGIN)) {
      text.resize(static_cast<std::size_t>(size.QuadPart - from.QuadPart));
      DWORD got = 0;
      if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) got = 0;
      text.resize(got);
    }
  }
  CloseHandle(file);
  return text;
}

// Starts the program, waits for it, and says what its code means.
ActionOutcome RunProgram(MSIHANDLE install, ProgramRun run) {
  ActionOutcome outcome;
  std::wstring folder = ActionData(install);
  if (folder.empty()) {
    outcome = vornell::msi::ProgramNotRun(run, "no program folder was handed to the action (CustomActionData)");
    SayToMsiLog(install, Wide(outcome.meaning));
    return outcome;
  }
  if (folder.back() != L'\\') folder += L'\\';
  const std::wstring program = folder + L"Vornell.exe";
  const std::wstring logFolder = LogFolder();
  const std::wstring log = logFolder.empty() ? std::wstring() : logFolder + L"\\" + vornell::msi::LogFileName(run);
  std::wstring line = vornell::msi::ProgramCommandLine(run, program, log);
  SayToMsiLog(install, L"running " + line);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // In the program's folder: never the folder msiexec happened to start in.
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      folder.c_str(), &startup, &process)) {
    outcome = vornell::msi::ProgramNotRun(run, "the program could not be started, error " +
                                                   std::to_string(GetLastError()));
    SayToMsiLog(install, Wide(outcome.meaning));
    return outcome;
  }
  CloseHandle(process.hThread);
  DWORD code = STILL_ACTIVE;
  const DWORD waited = WaitForSingleObject(process.hProcess, kProgramWaitMs);
  const bool ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code);
  if (waited == WAIT_TIMEOUT) TerminateProcess(process.hProcess, vornell::msi::kActionFailure);
  CloseHandle(process.hProcess);

  outcome = ended ? vornell::msi::MapProgramExit(run, code)
                  : vornell::msi::ProgramNotRun(run, "the program did not end within 35 minutes, or its end "
                                                     "could not be read; it was ended");
  SayToMsiLog(install, Wide(outcome.meaning));
  if (!log.empty() && code != 0 && code != 3010) {
    const std::string step = vornell::msi::FailedStepIn(ReadLogEnd(log));
    if (!step.empty()) SayToMsiLog(install, L"failed step: " + Wide(step));
  }
  SayToMsiLog(install, log.empty() ? std::wstring(L"no log: the Logs folder could not be had") : L"log: " + log);
  return outcome;
}

HKEY OpenRecord(REGSAM access, bool create) {
  HKEY key = nullptr;
  const LSTATUS status =
      create ? RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, 0, access | KEY_WOW64_64KEY, nullptr, &key,
                               nullptr)
             : RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, access | KEY_WOW64_64KEY, &key);
  return status == ERROR_SUCCESS ? key : nullptr;
}

// Set or cleared by every deferred run, so that the immediate action never
// reads what an earlier run left.
void RecordRestart(MSIHANDLE install, bool needed) {
  const HKEY key = OpenRecord(KEY_SET_VALUE, needed);
  if (key == nullptr) {
    if (needed) SayToMsiLog(install, L"the need for a restart could not be recorded");
    return;
  }
  if (needed) {
    const DWORD one = 1;
    if (RegSetValueExW(key, kRestartValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one) !=
        ERROR_SUCCESS) {
      SayToMsiLog(install, L"the need for a restart could not be recorded");
    }
  } else {
    RegDeleteValueW(key, kRestartValue);
  }
  RegCloseKey(key);
}

// Deletes `subKey` of HKLM (64-bit view) when nothing is left in it.
void DeleteWhenEmpty(const wchar_t* subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, values = 0;
  const LSTATUS status =
      RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS && subKeys == 0 && values == 0) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subKey, KEY_WOW64_64KEY, 0);
}

UINT Deferred(MSIHANDLE install, ProgramRun run) {
  const ActionOutcome outcome = RunProgram(install, run);
  if (run != ProgramRun::kRollback) RecordRestart(install, outcome.restartNeeded);
  return outcome.actionResult;
}

}  // namespace

extern "C" {

// Deferred, as SYSTEM: "[INSTALLDIR]" in CustomActionData.
__declspec(dllexport) UINT __stdcall InstallVornell(MSIHANDLE install) {
  return Deferred(install, ProgramRun::kInstall);
}

// Rollback of InstallVornell: undoes what the install did on this machine.
__declspec(dllexport) UINT __stdcall RollbackVornell(MSIHANDLE install) {
  return Deferred(install, ProgramRun::kRollback);
}

// Deferred, as SYSTEM, only when the product is really removed.
__declspec(dllexport) UINT __stdcall RemoveVornell(MSIHANDLE install) {
  return Deferred(install, ProgramRun::kRemoval);
}

// Immediate, after InstallFinalize: a deferred action may not call
// MsiSetMode, so the restart it recorded is asked for here. With
// REBOOT=ReallySuppress msiexec then exits 3010 and never restarts.
__declspec(dllexport) UINT __stdcall RequestRestart(MSIHANDLE install) {
  const HKEY key = OpenRecord(KEY_QUERY_VALUE | KEY_SET_VALUE, false);
  if (key == nullptr) return ERROR_SUCCESS;
  DWORD needed = 0, bytes = sizeof needed;
  const bool recorded = RegGetValueW(key, nullptr, kRestartValue, RRF_RT_REG_DWORD, nullptr, &needed, &bytes) ==
                        ERROR_SUCCESS;
  if (recorded) RegDeleteValueW(key, kRestartValue);
  RegCloseKey(key);
  // After a removal the key may hold nothing else now.
  DeleteWhenEmpty(kRecordKey);
  DeleteWhenEmpty(kOrvaneKey);
  if (recorded && needed != 0) {
    const MsiCalls* msi = Msi();
    const UINT set = msi != nullptr ? msi->setMode(install, MSIRUNMODE_REBOOTATEND, TRUE) : ERROR_PROC_NOT_FOUND;
    SayToMsiLog(install, set == ERROR_SUCCESS ? std::wstring(L"a restart completes the installation")
                                              : L"the restart could not be asked for, error " + std::to_wstring(set));
  }
  return ERROR_SUCCESS;
}

}  // extern "C"
