#include "platform/process.h"

#include <windows.h>

#include <vector>

#include "platform/log.h"
#include "platform/win32/gbk_wide.h"
#include "platform/win32/log_file.h"
#include "platform/win32/system_library.h"

namespace vornell {

namespace {

std::wstring CurrentDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length);
  }
}

bool Elevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                        elevation.TokenIsElevated != 0;
  ::CloseHandle(token);
  return elevated;
}

bool RunsAsSystem() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info{};
  DWORD size = 0;
  const bool system = ::GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
                      ::IsWellKnownSid(info.user.User.Sid, WinLocalSystemSid);
  ::CloseHandle(token);
  return system;
}

// SYSTEM's %TEMP% is C:\Windows\Temp, where any user may create files and
// folders. GetTempPath2W (Windows 11, and Windows 10 with its later updates)
// gives SYSTEM C:\Windows\SystemTemp instead; elsewhere SYSTEM's own
// profile holds the log, inside C:\Windows\System32\config, which only
// SYSTEM and the Administrators can reach. Everyone else keeps %TEMP%.
std::wstring TempFolder() {
  using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);
  const auto getTempPath2 = ProcedureOf<GetTempPath2Fn>(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W");
  wchar_t temp[MAX_PATH + 2] = {};
  if (getTempPath2 == nullptr && RunsAsSystem()) {
    const std::wstring system = SystemDirectory();
    if (system.empty()) return {};
    std::wstring folder = system + L"\\config\\systemprofile";
    for (const wchar_t* part : {L"\\AppData", L"\\Local", L"\\Temp"}) {
      folder += part;
      ::CreateDirectoryW(folder.c_str(), nullptr);  // new folders take the profile's permissions
    }
    return folder + L"\\";
  }
  const DWORD length =
      getTempPath2 != nullptr ? getTempPath2(MAX_PATH + 1, temp) : ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH + 1) return {};
  return std::wstring(temp, length);
}

std::wstring WithoutFinalBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

ProcessFacts GetProcessFacts() {
  ProcessFacts facts;
  facts.commandLine = LenientGbk(::GetCommandLineW());
  facts.currentDirectory = LenientGbk(WithoutFinalBackslash(CurrentDirectory()));
  const std::wstring program = ProgramFilePath();
  const std::size_t slash = program.find_last_of(L"\\/");
  facts.programFolder = LenientGbk(slash == std::wstring::npos ? std::wstring() : program.substr(0, slash));
  facts.tempFolder = TempFolder();
  facts.elevated = Elevated();
  facts.ansiCodePage = ::GetACP();
  return facts;
}

bool TakeInstallLock() {
  // In every session, so a user's wizard and a deployment tool's run under
  // the system account see each other; where that is refused, this session.
  HANDLE lock = ::CreateMutexW(nullptr, FALSE, L"Global\\Orvane.Vornell.Install");
  if (lock == nullptr && ::GetLastError() == ERROR_ACCESS_DENIED) {
    lock = ::OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\Orvane.Vornell.Install");
    if (lock != nullptr) {
      ::CloseHandle(lock);
      return false;
    }
    lock = ::CreateMutexW(nullptr, FALSE, L"Local\\Orvane.Vornell.Install");
  }
  if (lock == nullptr) return true;  // no lock to be had: nothing to wait for either
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(lock);
    return false;
  }
  // Kept open for the life of the process: its end releases the name.
  return true;
}

bool OpenProcessLog(const std::wstring& path) {
  static LogFile file;
  const bool opened = file.Open(path);
  if (opened) GetLog().SetSink(&file);
  return opened;
}

}  // namespace vornell
