// The real system behind the program's own installation and its removal:
// the Apps & features entry, and the queue, driver and driver-store calls
// that undo an install. The program copy is in program_copy.cpp.
#include <windows.h>
#include <setupapi.h>
#include <winspool.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/run_limit.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/system_library.h"
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
// The spooler calls of removal; winspool.drv is no KnownDLL (see services_win32.cpp).
struct RemovalSpooler {
  decltype(&OpenPrinterW) open = nullptr;
  decltype(&ClosePrinter) close = nullptr;
  decltype(&GetPrinterW) get = nullptr;
  decltype(&DeletePrinter) remove = nullptr;
  decltype(&DeletePrinterDriverExW) removeDriver = nullptr;
  decltype(&EnumPrinterDriversW) enumDrivers = nullptr;
  decltype(&EnumPrintersW) enumPrinters = nullptr;
};

const RemovalSpooler* LoadRemovalSpooler() {
  static const RemovalSpooler loaded = [] {
    const HMODULE module = LoadSystemLibrary(L"winspool.drv");
    RemovalSpooler s;
    s.open = ProcedureOf<decltype(s.open)>(module, "OpenPrinterW");
    s.close = ProcedureOf<decltype(s.close)>(module, "ClosePrinter");
    s.get = ProcedureOf<decltype(s.get)>(module, "GetPrinterW");
    s.remove = ProcedureOf<decltype(s.remove)>(module, "DeletePrinter");
    s.removeDriver = ProcedureOf<decltype(s.removeDriver)>(module, "DeletePrinterDriverExW");
    s.enumDrivers = ProcedureOf<decltype(s.enumDrivers)>(module, "EnumPrinterDriversW");
    s.enumPrinters = ProcedureOf<decltype(s.enumPrinters)>(module, "EnumPrintersW");
    return s;
  }();
  if (loaded.open == nullptr || loaded.close == nullptr || loaded.get == nullptr || loaded.remove == nullptr ||
      loaded.removeDriver == nullptr || loaded.enumDrivers == nullptr || loaded.enumPrinters == nullptr) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return &loaded;
}

// An open printer, closed when the scope ends.
class OpenQueue {
 public:
  OpenQueue(const RemovalSpooler& spooler, const std::wstring& name, ACCESS_MASK access) : spooler_(spooler) {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
    if (!spooler_.open(const_cast<wchar_t*>(name.c_str()), &handle_, &defaults)) handle_ = nullptr;
  }
  ~OpenQueue() {
    if (handle_ != nullptr) spooler_.close(handle_);
  }
  OpenQueue(const OpenQueue&) = delete;
  OpenQueue& operator=(const OpenQueue&) = delete;
  HANDLE get() const { return handle_; }

 private:
  const RemovalSpooler& spooler_;
  HANDLE handle_ = nullptr;
};

// The records of a two-call spooler enumeration into `buffer`: the list
// may grow between the size call and the fill, so it asks again. False
// with the last error set.
template <typename Enumerate>
bool EnumerateRecords(Enumerate enumerate, std::vector<BYTE>& buffer, DWORD& returned) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD needed = 0;
    enumerate(nullptr, 0, &needed, &returned);
    buffer.assign(std::max<DWORD>(needed, 1), 0);
    if (enumerate(buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned)) return true;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  return false;
}

// Whether the running environment has a driver of this name; true when
// the list cannot be read, so that nothing is taken for absent unseen.
bool DriverInstalled(const RemovalSpooler& spooler, const std::wstring& name) {
  DWORD returned = 0;
  std::vector<BYTE> buffer;
  const auto enumerate = [&spooler](BYTE* records, DWORD size, DWORD* needed, DWORD* count) {
    return spooler.enumDrivers(nullptr, nullptr, 1, records, size, needed, count);
  };
  if (!EnumerateRecords(enumerate, buffer, returned)) return true;
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < returned && (i + 1) * sizeof(DRIVER_INFO_1W) <= buffer.size(); ++i) {
    if (drivers[i].pName != nullptr && SameIgnoringCase(drivers[i].pName, name)) return true;
  }
  return false;
}

HKEY OpenEntry(REGSAM access) {
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEntryKey, 0, access | KEY_WOW64_64KEY, &key);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
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

// One local queue's record, read by itself (level 2 of one queue: no
// remote call); false with the last error set.
bool ReadQueue(const std::string& queue, std::vector<BYTE>& buffer) {
  const RemovalSpooler* spooler = LoadRemovalSpooler();
  std::wstring name;
  if (spooler == nullptr || !ToWide(queue, name)) return false;
  OpenQueue printer(*spooler, name, PRINTER_ACCESS_USE);
  if (printer.get() == nullptr) return false;
  DWORD needed = 0;
  spooler->get(printer.get(), 2, nullptr, 0, &needed);
  buffer.assign(std::max<DWORD>(needed, sizeof(PRINTER_INFO_2W)), 0);
  return spooler->get(printer.get(), 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed) != FALSE;
}

bool Win32Services::QueueMarkedForDeletion(const std::string& queue, bool& marked) {
  CallError callError;
  marked = false;
  std::vector<BYTE> buffer;
  const bool read = ReadQueue(queue, buffer);
  callError.Note();
  if (read) marked = (reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data())->Status & PRINTER_STATUS_PENDING_DELETION) != 0;
  return read;
}

bool Win32Services::GetQueueDriver(const std::string& queue, std::string& driver) {
  CallError callError;
  driver.clear();
  std::vector<BYTE> buffer;
  if (!ReadQueue(queue, buffer)) {
    callError.Note();
    return false;
  }
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  if (info->pDriverName == nullptr || !WideToGbk(info->pDriverName, driver, Conversion::kStrict)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    callError.Note();
    return false;
  }
  return true;
}

bool Win32Services::DeleteQueue(const std::string& queue) {
  CallError callError;
  const RemovalSpooler* spooler = LoadRemovalSpooler();
  std::wstring name;
  if (spooler == nullptr || !ToWide(queue, name)) {
    callError.Note();
    return false;
  }
  OpenQueue printer(*spooler, name, PRINTER_ALL_ACCESS);
  const BOOL deleted = printer.get() != nullptr && spooler->remove(printer.get());
  callError.Note();
  return deleted != FALSE;
}

bool Win32Services::RemovePrinterDriver(const std::string& driver) {
  CallError callError;
  const RemovalSpooler* spooler = LoadRemovalSpooler();
  std::wstring name;
  if (spooler == nullptr || !ToWide(driver, name)) {
    callError.Note();
    return false;
  }
  wchar_t* const driverName = const_cast<wchar_t*>(name.c_str());
  BOOL deleted = spooler->removeDriver(nullptr, nullptr, driverName, DPD_DELETE_UNUSED_FILES, 0);
  // Wine's spooler refuses the flag (87); the model's own files are removed
  // on their own afterwards, where no driver uses them.
  if (!deleted && GetLastError() == ERROR_INVALID_PARAMETER) {
    deleted = spooler->removeDriver(nullptr, nullptr, driverName, 0, 0);
    // Wine also says 87 of a driver it does not have; Windows says 1797.
    if (!deleted && GetLastError() == ERROR_INVALID_PARAMETER && !DriverInstalled(*spooler, name)) {
      SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    }
  }
  callError.Note();
  return deleted != FALSE;
}

bool Win32Services::QueuesUsingDriver(const std::string& driver, std::vector<std::string>& queues) {
  CallError callError;
  queues.clear();
  const RemovalSpooler* spooler = LoadRemovalSpooler();
  std::wstring wanted;
  if (spooler == nullptr || !ToWide(driver, wanted)) {
    callError.Note();
    return false;
  }
  DWORD returned = 0;
  std::vector<BYTE> buffer;
  const auto enumerate = [spooler](BYTE* records, DWORD size, DWORD* needed, DWORD* count) {
    return spooler->enumPrinters(PRINTER_ENUM_LOCAL, nullptr, 2, records, size, needed, count);
  };
  if (!EnumerateRecords(enumerate, buffer, returned)) {
    callError.Note();
    return false;
  }
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < returned && (i + 1) * sizeof(PRINTER_INFO_2W) <= buffer.size(); ++i) {
    // A queue marked for deletion goes once its jobs are done: it no
    // longer holds the driver for what removal has to decide.
    if ((printers[i].Status & PRINTER_STATUS_PENDING_DELETION) != 0) continue;
    if (printers[i].pDriverName != nullptr && printers[i].pPrinterName != nullptr &&
        SameIgnoringCase(printers[i].pDriverName, wanted)) {
      queues.push_back(LenientGbk(printers[i].pPrinterName));
    }
  }
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

bool Win32Services::ListDriverFiles(std::vector<std::string>& files) {
  CallError callError;
  files.clear();
  const RemovalSpooler* spooler = LoadRemovalSpooler();
  if (spooler == nullptr) {
    callError.Note();
    return false;
  }
  DWORD returned = 0;
  std::vector<BYTE> buffer;
  const auto enumerate = [spooler](BYTE* records, DWORD size, DWORD* needed, DWORD* count) {
    return spooler->enumDrivers(nullptr, nullptr, 3, records, size, needed, count);
  };
  if (!EnumerateRecords(enumerate, buffer, returned)) {
    callError.Note();
    return false;
  }
  const auto add = [&files](const wchar_t* path) {
    if (path == nullptr || *path == L'\0') return;
    const wchar_t* slash = wcsrchr(path, L'\\');
    files.push_back(LenientGbk(slash != nullptr ? slash + 1 : path));
  };
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
  for (DWORD i = 0; i < returned && (i + 1) * sizeof(DRIVER_INFO_3W) <= buffer.size(); ++i) {
    const DRIVER_INFO_3W& d = drivers[i];
    for (const wchar_t* path : {d.pDriverPath, d.pDataFile, d.pConfigFile, d.pHelpFile}) add(path);
    for (const wchar_t* dependent = d.pDependentFiles; dependent != nullptr && *dependent != L'\0';
         dependent += wcslen(dependent) + 1) {
      add(dependent);
    }
  }
  return true;
}

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
  HKEY key = nullptr;
  const LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kEntryKey, 0, nullptr, 0,
                                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(created));
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
  const HKEY key = OpenEntry(KEY_QUERY_VALUE);
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
  HKEY key = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
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
  HKEY key = nullptr;
  const LSTATUS created = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, nullptr, 0,
                                          KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(created));
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
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRecordKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY,
                                 &key);
  if (status != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(status));
    callError.Note();
    return false;
  }
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
