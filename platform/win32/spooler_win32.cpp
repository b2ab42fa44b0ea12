// The real system behind the spooler: the driver folder, the printers and
// their drivers, the default printer, and printui run through rundll32.
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <vector>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

// What a failed process start means in WinExec's terms (0 to 31).
std::uint32_t StartFailureResult(unsigned long error) {
  switch (error) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
      return 0;  // out of memory or resources
    default:
      // As the system's own WinExec: a small code is its own answer; any
      // other cannot be told apart from a file that is no program.
      return error < 32 ? static_cast<std::uint32_t>(error) : ERROR_BAD_FORMAT;
  }
}

// winspool.drv is no KnownDLL: loaded from the system directory, at run time.
struct SpoolerFunctions {
  decltype(&GetPrinterDriverDirectoryW) driverDirectory = nullptr;
  decltype(&EnumPrintersW) enumPrinters = nullptr;
  DWORD loadError = ERROR_SUCCESS;
};

// nullptr with the last error set when winspool.drv or a function is missing.
const SpoolerFunctions* LoadSpoolerFunctions() {
  static const SpoolerFunctions loaded = [] {
    SpoolerFunctions result;
    const HMODULE module = LoadSystemLibrary(L"winspool.drv");
    result.driverDirectory = ProcedureOf<decltype(result.driverDirectory)>(module, "GetPrinterDriverDirectoryW");
    result.enumPrinters = ProcedureOf<decltype(result.enumPrinters)>(module, "EnumPrintersW");
    if (result.driverDirectory == nullptr || result.enumPrinters == nullptr) result.loadError = GetLastError();
    return result;
  }();
  if (loaded.driverDirectory == nullptr || loaded.enumPrinters == nullptr) {
    SetLastError(loaded.loadError);
    return nullptr;
  }
  return &loaded;
}

wchar_t kNoServerName[] = L"";  // the local machine; EnumPrintersW wants a non-const text

// The spooler calls of removal, loaded the same way.
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

// Starts the system's rundll32.exe hidden with `arguments`; WinExec's
// result, and the process when it started (the caller closes its handle).
std::uint32_t StartHiddenRundll32(const std::string& arguments, HANDLE& process) {
  process = nullptr;
  const std::wstring system = SystemDirectory();
  if (system.empty()) return StartFailureResult(GetLastError());
  std::wstring wideArguments;
  if (!ToWide(arguments, wideArguments)) return StartFailureResult(ERROR_BAD_FORMAT);
  // By full path from the system directory, never by a searched bare name.
  const std::wstring program = system + L"\\rundll32.exe";
  std::wstring line = L"\"" + program + L"\" " + wideArguments;
  std::vector<wchar_t> commandLine(line.begin(), line.end());
  commandLine.push_back(L'\0');  // CreateProcessW may write into it

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      system.c_str(), &startup, &started)) {
    return StartFailureResult(GetLastError());
  }
  CloseHandle(started.hThread);
  process = started.hProcess;
  return 33;  // started
}

}  // namespace

bool Win32Services::GetDriverDirectory(char* buffer, std::uint32_t bufferSize) {
  const SpoolerFunctions* spooler = LoadSpoolerFunctions();
  if (spooler == nullptr) return false;
  std::vector<BYTE> wide(MAX_PATH * sizeof(WCHAR) * 2, 0);
  DWORD needed = 0;
  BOOL ok = spooler->driverDirectory(nullptr, nullptr, 1, wide.data(), static_cast<DWORD>(wide.size()),
                                     &needed);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > wide.size() &&
      needed <= kMaxWideChars * sizeof(WCHAR)) {
    wide.assign(needed, 0);
    ok = spooler->driverDirectory(nullptr, nullptr, 1, wide.data(), needed, &needed);
  }
  if (!ok) return false;
  const auto* text = reinterpret_cast<const wchar_t*>(wide.data());
  const std::size_t length = wcsnlen(text, wide.size() / sizeof(WCHAR));
  std::string gbk;
  if (!WideToGbk(std::wstring_view(text, length), gbk, Conversion::kStrict)) {
    // A folder we could not name exactly would be a different folder.
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return false;
  }
  return CopyOut(gbk, buffer, bufferSize);
}

std::uint32_t Win32Services::EnumPrintersNeeded(std::uint32_t flags) {
  const SpoolerFunctions* spooler = LoadSpoolerFunctions();
  if (spooler == nullptr) return 0;
  DWORD needed = 0, returned = 0;
  // With no printer the call succeeds and leaves the last error alone: say
  // so, so that a stale error does not pose as this call's.
  // Level 4: names from the registry, no call to any print server.
  if (spooler->enumPrinters(flags, kNoServerName, 4, nullptr, 0, &needed, &returned)) SetLastError(ERROR_SUCCESS);
  return needed;
}

bool Win32Services::EnumPrintersFill(std::uint32_t flags, void* buffer, std::uint32_t bufferSize,
                                     std::vector<std::string>& names) {
  CallError callError;
  names.clear();
  const SpoolerFunctions* spooler = LoadSpoolerFunctions();
  if (spooler == nullptr) return false;
  DWORD needed = 0, returned = 0;
  const BOOL filled = spooler->enumPrinters(flags, kNoServerName, 4, static_cast<BYTE*>(buffer), bufferSize,
                                            &needed, &returned);
  callError.Note();
  if (!filled) return false;
  // The system wrote `returned` records into a buffer of `bufferSize` bytes.
  const std::size_t fit = bufferSize / sizeof(PRINTER_INFO_4W);
  const auto* records = static_cast<const PRINTER_INFO_4W*>(buffer);
  for (std::size_t i = 0; i < std::min<std::size_t>(returned, fit); ++i) {
    const wchar_t* name = records[i].pPrinterName;
    if (name == nullptr) continue;
    std::string gbk;
    // A name with no GBK form cannot be a name the program looks for.
    if (WideToGbk(name, gbk, Conversion::kStrict)) names.push_back(std::move(gbk));
  }
  return true;
}

void* Win32Services::AllocZeroed(std::size_t bytes) { return LocalAlloc(LPTR, bytes); }

void Win32Services::Free(void* block) {
  if (block != nullptr) LocalFree(block);
}

// The default printer as the spooler reports it for the running account:
// printui's exit code says nothing of whether /y made it so.
bool Win32Services::DefaultPrinter(std::string& name) {
  CallError callError;
  name.clear();
  // winspool.drv is no KnownDLL: by system path, at run time.
  using GetDefaultPrinterFunction = BOOL(WINAPI*)(LPWSTR, LPDWORD);
  const auto getDefault =
      ProcedureOf<GetDefaultPrinterFunction>(LoadSystemLibrary(L"winspool.drv"), "GetDefaultPrinterW");
  if (getDefault == nullptr) {
    callError.Note();
    return false;
  }
  DWORD characters = 0;
  getDefault(nullptr, &characters);  // ERROR_FILE_NOT_FOUND when there is no default
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || characters == 0 || characters > kMaxWideChars) {
    callError.Note();
    return false;
  }
  std::vector<wchar_t> buffer(characters, L'\0');
  if (!getDefault(buffer.data(), &characters)) {
    callError.Note();
    return false;
  }
  name = LenientGbk(std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size())));
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
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

std::uint32_t Win32Services::StartRundll32(const std::string& arguments) {
  HANDLE process = nullptr;
  const std::uint32_t result = StartHiddenRundll32(arguments, process);
  if (process != nullptr) CloseHandle(process);  // not awaited
  return result;
}

std::uint32_t Win32Services::RunRundll32(const std::string& arguments, std::uint32_t timeoutMs, CommandEnd& end) {
  CallError callError;
  end = CommandEnd{};
  HANDLE process = nullptr;
  const std::uint32_t result = StartHiddenRundll32(arguments, process);
  if (process == nullptr) return result;
  const ULONGLONG started = GetTickCount64();
  const DWORD waited = WaitForSingleObject(process, timeoutMs);
  if (waited == WAIT_FAILED) callError.Note();
  end.tookMs = static_cast<std::uint32_t>(std::min<ULONGLONG>(GetTickCount64() - started, MAXDWORD));
  DWORD code = STILL_ACTIVE;
  end.ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
  end.exitCode = end.ended ? code : 0;
  CloseHandle(process);
  return result;
}

}  // namespace vornell
