#include "platform/win32/services_win32.h"

#include <windows.h>
#include <dbt.h>
#include <setupapi.h>
#include <winspool.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <vector>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/services_shared_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {


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

}  // namespace

std::uint32_t Win32Services::LastError() { return GetLastError(); }

std::string Win32Services::ErrorMessage(std::uint32_t code) {
  const DWORD saved = GetLastError();
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view wide(text != nullptr ? text : L"", text != nullptr ? length : 0);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ' ||
                           wide.back() == L'\t')) {
    wide.remove_suffix(1);
  }
  // Lenient: a character without a GBK form becomes '?'; the text only informs.
  std::string message = LenientGbk(wide);
  if (text != nullptr) LocalFree(text);
  if (message.empty()) message = "Error " + std::to_string(code);
  SetLastError(saved);
  return message;
}

// ----- spooler -----

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

namespace {
wchar_t kNoServerName[] = L"";  // the local machine; EnumPrintersW wants a non-const text
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

// ----- printer setup -----

namespace {

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

// The shipped program's services: the real system.
Services* DefaultServices() {
  static Win32Services services;
  return &services;
}

}  // namespace vornell
