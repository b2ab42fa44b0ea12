// The real system behind the program's own installation: its Apps &
// features entry and its install record in the registry. The program copy
// is in program_copy.cpp, the clearing of pending removals in
// pending_removals.cpp.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/run_limit.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

constexpr wchar_t kEntryKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane.Vornell";
// What removal undoes, as versions before the install record kept it in the entry.
constexpr wchar_t kQueueValue[] = L"VornellQueue";
constexpr wchar_t kDriverValue[] = L"VornellDriver";
constexpr wchar_t kStoredInfValue[] = L"VornellStoredInf";
// The install record, and the key above it that other products of ours may share.
constexpr wchar_t kRecordKey[] = L"Software\\Orvane\\Vornell";
constexpr wchar_t kOrvaneKey[] = L"Software\\Orvane";
constexpr wchar_t kRecordValues[][16] = {L"Queue", L"Driver", L"StoredInf"};
constexpr wchar_t kOwnerValue[] = L"Owner";
constexpr wchar_t kOwnerProgram[] = L"Program";
constexpr wchar_t kOwnerWindowsInstaller[] = L"WindowsInstaller";

// HKLM's `subKey` in the 64-bit view, whichever view the program runs in;
// nullptr with the last error set when it cannot be opened.
HKEY OpenKey64(const wchar_t* subKey, REGSAM access) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, access | KEY_WOW64_64KEY, &key);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    return nullptr;
  }
  return key;
}

// The same, created when missing, to write values in.
HKEY CreateKey64(const wchar_t* subKey) {
  HKEY key = nullptr;
  const LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0,
                                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(created));
    return nullptr;
  }
  return key;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
  const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const wchar_t* name, DWORD value) {
  const LSTATUS status =
      RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  if (status != ERROR_SUCCESS) SetLastError(static_cast<DWORD>(status));
  return status == ERROR_SUCCESS;
}

// A text value as GBK; empty when it is missing or has no exact GBK form.
std::string GetText(HKEY key, const wchar_t* name) {
  DWORD bytes = 0;
  if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS || bytes == 0 ||
      bytes > kMaxWideChars * sizeof(wchar_t)) {
    return {};
  }
  std::wstring wide(bytes / sizeof(wchar_t), L'\0');
  if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, wide.data(), &bytes) != ERROR_SUCCESS) return {};
  wide.resize(wcsnlen(wide.c_str(), wide.size()));
  std::string gbk;
  return WideToGbk(wide, gbk, Conversion::kStrict) ? gbk : std::string();
}

}  // namespace

bool Win32Services::WriteAppsEntry(const AppsEntry& entry) {
  CallError callError;
  std::wstring name, version, publisher, copy;
  if (!ToWide(entry.displayName, name) || !ToWide(entry.displayVersion, version) ||
      !ToWide(entry.publisher, publisher) || !ToWide(entry.programCopy, copy)) {
    callError.Note();
    return false;
  }
  // The run limit does not end the process in the middle of this.
  const AppsEntryWriting writing;
  const HKEY key = CreateKey64(kEntryKey);
  if (key == nullptr) {
    callError.Note();
    return false;
  }
  SYSTEMTIME today{};
  GetLocalTime(&today);
  wchar_t date[16] = {};
  swprintf(date, 16, L"%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
  const std::wstring quoted = L"\"" + copy + L"\"";
  // What removal needs first; the name and version last: Apps & features
  // lists an entry, and detection rules find it, by those, so a new entry
  // cut short does not show.
  // An older version's removal values now live in the install record.
  for (const wchar_t* old : {kQueueValue, kDriverValue, kStoredInfValue}) RegDeleteValueW(key, old);
  const bool written = SetText(key, L"UninstallString", quoted + L" /uninstall") &&
                       SetText(key, L"QuietUninstallString", quoted + L" /uninstall /quiet") &&
                       SetText(key, L"Publisher", publisher) && SetText(key, L"DisplayIcon", copy) &&
                       SetText(key, L"InstallDate", date) && SetNumber(key, L"EstimatedSize", entry.estimatedSizeKb) &&
                       SetNumber(key, L"NoModify", 1) && SetNumber(key, L"NoRepair", 1) &&
                       SetText(key, L"DisplayVersion", version) && SetText(key, L"DisplayName", name);
  callError.Note();
  RegCloseKey(key);
  return written;
}

bool Win32Services::ReadAppsEntry(AppsEntry& entry) {
  CallError callError;
  entry = AppsEntry{};
  const HKEY key = OpenKey64(kEntryKey, KEY_QUERY_VALUE);
  if (key == nullptr) {
    callError.Note();
    return false;
  }
  entry.displayName = GetText(key, L"DisplayName");
  entry.displayVersion = GetText(key, L"DisplayVersion");
  entry.publisher = GetText(key, L"Publisher");
  entry.programCopy = GetText(key, L"DisplayIcon");
  entry.queueName = GetText(key, kQueueValue);
  entry.driverName = GetText(key, kDriverValue);
  entry.storedInf = GetText(key, kStoredInfValue);
  DWORD size = 0, bytes = sizeof size;
  if (RegGetValueW(key, nullptr, L"EstimatedSize", RRF_RT_REG_DWORD, nullptr, &size, &bytes) == ERROR_SUCCESS) {
    entry.estimatedSizeKb = size;
  }
  RegCloseKey(key);
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

bool Win32Services::DeleteAppsEntry() {
  CallError callError;
  const LSTATUS status = RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kEntryKey, KEY_WOW64_64KEY, 0);
  SetLastError(static_cast<DWORD>(status));
  callError.Note();
  return status == ERROR_SUCCESS;
}

namespace {

// Deletes `subKey` of HKLM (64-bit view) when it holds no value and no key.
void DeleteKeyWhenEmpty(const wchar_t* subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, values = 0;
  const LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                          nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (status == ERROR_SUCCESS && subKeys == 0 && values == 0) RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subKey, KEY_WOW64_64KEY, 0);
}

}  // namespace

bool Win32Services::ReadInstallRecord(InstallRecord& record) {
  CallError callError;
  record = InstallRecord{};
  const HKEY key = OpenKey64(kRecordKey, KEY_QUERY_VALUE);
  if (key == nullptr) {
    callError.Note();
    return false;
  }
  std::string* const texts[] = {&record.queueName, &record.driverName, &record.storedInf};
  for (std::size_t i = 0; i < 3; ++i) *texts[i] = GetText(key, kRecordValues[i]);
  DWORD bytes = 0;
  const bool hasOwner = RegGetValueW(key, nullptr, kOwnerValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) == ERROR_SUCCESS;
  std::wstring owner;
  if (hasOwner) {
    std::string gbk = GetText(key, kOwnerValue);
    ToWide(gbk, owner);
  }
  RegCloseKey(key);
  // Whatever is not the program's own word keeps the program's hands off.
  record.owner = !hasOwner                         ? InstallOwner::kNone
                 : SameIgnoringCase(owner, kOwnerProgram) ? InstallOwner::kProgram
                                                           : InstallOwner::kWindowsInstaller;
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

bool Win32Services::WriteInstallRecord(const InstallRecord& record) {
  CallError callError;
  std::wstring values[3];
  if (!ToWide(record.queueName, values[0]) || !ToWide(record.driverName, values[1]) ||
      !ToWide(record.storedInf, values[2])) {
    callError.Note();
    return false;
  }
  const AppsEntryWriting writing;
  const HKEY key = CreateKey64(kRecordKey);
  if (key == nullptr) {
    callError.Note();
    return false;
  }
  bool written = true;
  for (std::size_t i = 0; i < 3 && written; ++i) written = SetText(key, kRecordValues[i], values[i]);
  // Windows Installer's own value is its to write and delete.
  if (written && record.owner == InstallOwner::kProgram) written = SetText(key, kOwnerValue, kOwnerProgram);
  if (written) SetLastError(ERROR_SUCCESS);
  callError.Note();
  RegCloseKey(key);
  return written;
}

bool Win32Services::DeleteInstallRecord() {
  CallError callError;
  const HKEY key = OpenKey64(kRecordKey, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (key == nullptr) {
    callError.Note();
    return false;
  }
  LSTATUS status = ERROR_SUCCESS;
  for (const wchar_t* name : kRecordValues) {
    const LSTATUS deleted = RegDeleteValueW(key, name);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) status = deleted;
  }
  const std::string owner = GetText(key, kOwnerValue);
  std::wstring wide;
  if (status == ERROR_SUCCESS && ToWide(owner, wide) && SameIgnoringCase(wide, kOwnerProgram)) {
    status = RegDeleteValueW(key, kOwnerValue);
  }
  RegCloseKey(key);
  if (status == ERROR_SUCCESS) {
    DeleteKeyWhenEmpty(kRecordKey);
    DeleteKeyWhenEmpty(kOrvaneKey);
  }
  SetLastError(static_cast<DWORD>(status));
  callError.Note();
  return status == ERROR_SUCCESS;
}

}  // namespace vornell
