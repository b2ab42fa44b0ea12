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
  // TOKEN_USER and the SID behind it, in one buffer of the size asked for.
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  const bool system = size != 0 &&
                      ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
                      ::IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, WinLocalSystemSid);
  ::CloseHandle(token);
  return system;
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
  wchar_t temp[MAX_PATH + 2] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  if (length > 0 && length <= MAX_PATH + 1) facts.tempFolder.assign(temp, length);
  facts.elevated = Elevated();
  facts.system = RunsAsSystem();
  facts.ansiCodePage = ::GetACP();
  return facts;
}

std::string ShownPath(const std::wstring& path) { return LenientGbk(path); }

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
