// The real system behind driver installation and the driver store: the
// device installer's calls, the INF copies in the store and their removal.
#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

// newdev.dll is optional on the system; like winspool.drv, it is not a
// KnownDLL, so it is loaded from the system directory rather than imported.
using UpdateDriverFunction = BOOL(WINAPI*)(HWND, LPCWSTR, LPCWSTR, DWORD, PBOOL);

struct NewDev {
  UpdateDriverFunction update = nullptr;
  DWORD loadError = ERROR_SUCCESS;
};

const NewDev& LoadNewDev() {
  static const NewDev loaded = [] {
    NewDev result;
    result.update = ProcedureOf<UpdateDriverFunction>(LoadSystemLibrary(L"newdev.dll"),
                                                      "UpdateDriverForPlugAndPlayDevicesW");
    if (result.update == nullptr) result.loadError = GetLastError();
    return result;
  }();
  return loaded;
}

// CMP_WaitNoPendingInstallEvents: setupapi.dll has it up to Windows 7,
// cfgmgr32.dll from Windows 8 on (setupapi forwards it there).
using WaitPendingFunction = DWORD(WINAPI*)(DWORD);
WaitPendingFunction LoadWaitPending() {
  static const WaitPendingFunction loaded = [] {
    auto found = ProcedureOf<WaitPendingFunction>(GetModuleHandleW(L"setupapi.dll"),
                                                  "CMP_WaitNoPendingInstallEvents");
    if (found == nullptr) {
      found = ProcedureOf<WaitPendingFunction>(LoadSystemLibrary(L"cfgmgr32.dll"),
                                               "CMP_WaitNoPendingInstallEvents");
    }
    return found;
  }();
  return loaded;
}

// SUOI_FORCEDELETE, which older headers lack.
constexpr DWORD kForceDelete = 0x1;

// A driver-store name is a bare file name: never a path into elsewhere.
bool IsBareInfName(const std::wstring& name) {
  return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." && name != L"..";
}

}  // namespace

PendingInstalls Win32Services::WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) {
  CallError callError;
  waitedMs = 0;
  const WaitPendingFunction wait = LoadWaitPending();
  if (wait == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    callError.Note();
    return PendingInstalls::kUnknown;
  }
  const ULONGLONG started = GetTickCount64();
  const DWORD result = wait(timeoutMs);
  callError.Note();
  waitedMs = static_cast<std::uint32_t>(std::min<ULONGLONG>(GetTickCount64() - started, MAXDWORD));
  switch (result) {
    case WAIT_OBJECT_0:
      return PendingInstalls::kNone;
    case WAIT_TIMEOUT:
      return PendingInstalls::kStillPending;
    default:
      return PendingInstalls::kUnknown;
  }
}

void Win32Services::SetNonInteractiveInstalls() {
  // Looked up, not imported: a system without it still starts the program.
  using SetModeFunction = BOOL(WINAPI*)(BOOL);
  const auto set = ProcedureOf<SetModeFunction>(GetModuleHandleW(L"setupapi.dll"), "SetupSetNonInteractiveMode");
  if (set != nullptr) set(TRUE);
}

bool Win32Services::UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                                 std::uint32_t installFlags, bool* restartNeeded) {
  CallError callError;
  std::wstring wideId, wideInf;
  if (!ToWide(hardwareId, wideId) || !WideInfPath(infPath, wideInf)) return false;
  const NewDev& newdev = LoadNewDev();
  if (newdev.update == nullptr) {
    SetLastError(newdev.loadError);
    return false;
  }
  BOOL reboot = FALSE;
  const BOOL updated = newdev.update(nullptr, wideId.c_str(), wideInf.c_str(), installFlags,
                                     restartNeeded != nullptr ? &reboot : nullptr);
  callError.Note();
  if (restartNeeded != nullptr) *restartNeeded = updated && reboot;
  return updated != FALSE;
}

int Win32Services::SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                                   std::string* storedName) {
  CallError callError;
  if (storedName != nullptr) storedName->clear();
  std::wstring wideInf;
  if (!WideInfPath(infPath, wideInf)) return FALSE;
  wchar_t destination[MAX_PATH] = {};
  wchar_t* component = nullptr;
  const BOOL result = SetupCopyOEMInfW(wideInf.c_str(), nullptr, mediaType, copyStyle, destination, MAX_PATH,
                                       nullptr, &component);
  callError.Note();
  // The store's name alone ("oem12.inf"): removal hands it back as it is.
  if (result == TRUE && storedName != nullptr && component != nullptr) {
    WideToGbk(component, *storedName, Conversion::kStrict);
  }
  return result;
}

bool Win32Services::RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) {
  CallError callError;
  removal = StoreRemoval{};
  std::wstring name;
  if (!ToWide(storedInf, name) || !IsBareInfName(name)) {
    if (GetLastError() != ERROR_NO_UNICODE_TRANSLATION) SetLastError(ERROR_INVALID_NAME);
    callError.Note();
    return false;
  }
  // Where the system has it, the driver leaves the devices installed from
  // it too (Windows 10 1703 and later).
  using DiUninstallDriverFunction = BOOL(WINAPI*)(HWND, LPCWSTR, DWORD, PBOOL);
  const auto diUninstall =
      ProcedureOf<DiUninstallDriverFunction>(LoadSystemLibrary(L"newdev.dll"), "DiUninstallDriverW");
  if (diUninstall != nullptr) {
    const std::wstring windows = WindowsFolder();
    if (windows.empty()) {
      callError.Note();
      return false;
    }
    const std::wstring path = windows + L"\\INF\\" + name;
    BOOL reboot = FALSE;
    removal.how = "DiUninstallDriverW";
    const BOOL removed = diUninstall(nullptr, path.c_str(), 0, &reboot);
    callError.Note();
    removal.restartNeeded = removed && reboot;
    return removed != FALSE;
  }
  using UninstallInfFunction = BOOL(WINAPI*)(PCWSTR, DWORD, PVOID);
  const auto uninstallInf =
      ProcedureOf<UninstallInfFunction>(GetModuleHandleW(L"setupapi.dll"), "SetupUninstallOEMInfW");
  if (uninstallInf == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    callError.Note();
    return false;
  }
  removal.how = force ? "SetupUninstallOEMInfW, forced" : "SetupUninstallOEMInfW";
  const BOOL removed = uninstallInf(name.c_str(), force ? kForceDelete : 0, nullptr);
  callError.Note();
  return removed != FALSE;
}

bool Win32Services::StoredInfOrigin(const std::string& storedInf, std::string& originalName) {
  CallError callError;
  originalName.clear();
  std::wstring name;
  if (!ToWide(storedInf, name) || !IsBareInfName(name)) {
    if (GetLastError() != ERROR_NO_UNICODE_TRANSLATION) SetLastError(ERROR_INVALID_NAME);
    callError.Note();
    return false;
  }
  const std::wstring windows = WindowsFolder();
  if (windows.empty()) {
    callError.Note();
    return false;
  }
  // The store's record of the INF, by its full path in the INF folder.
  const std::wstring path = windows + L"\\INF\\" + name;
  DWORD needed = 0;
  if (!SetupGetInfInformationW(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, nullptr, 0, &needed)) {
    callError.Note();
    return false;
  }
  std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(SP_INF_INFORMATION)), 0);
  auto* info = reinterpret_cast<SP_INF_INFORMATION*>(buffer.data());
  SP_ORIGINAL_FILE_INFO_W original{};
  original.cbSize = sizeof original;
  if (!SetupGetInfInformationW(path.c_str(), INFINFO_INF_NAME_IS_ABSOLUTE, info, static_cast<DWORD>(buffer.size()),
                               &needed) ||
      !SetupQueryInfOriginalFileInformationW(info, 0, nullptr, &original)) {
    callError.Note();
    return false;
  }
  // The name may come with the folder it was installed from: the name alone.
  const std::wstring_view full(original.OriginalInfName, wcsnlen(original.OriginalInfName, MAX_PATH));
  const std::wstring_view file = full.substr(full.find_last_of(L"\\/") + 1);
  if (file.empty() || !WideToGbk(file, originalName, Conversion::kStrict)) {
    originalName.clear();
    SetLastError(file.empty() ? ERROR_FILE_NOT_FOUND : ERROR_NO_UNICODE_TRANSLATION);
    callError.Note();
    return false;
  }
  // Success can leave an inner call's error behind (Wine: 0xE0000102).
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

}  // namespace vornell
