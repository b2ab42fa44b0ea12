#include "platform/process.h"

#include <windows.h>

#include <atomic>
#include <vector>

#include "platform/log.h"
#include "platform/win32/gbk_wide.h"
#include "platform/win32/log_file.h"
#include "platform/win32/own_files.h"
#include "platform/win32/security_descriptor.h"
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

bool RunsAsSystem() { return ProcessUserSid() == L"S-1-5-18"; }

// SYSTEM's %TEMP% is C:\Windows\Temp, where any user may create files and
// folders. GetTempPath2W (Windows 11, and Windows 10 with its later updates)
// gives SYSTEM C:\Windows\SystemTemp instead; elsewhere SYSTEM's own
// profile holds the log, inside C:\Windows\System32\config, which only
// SYSTEM and the Administrators can reach. Everyone else keeps %TEMP%.
std::wstring TempFolder() {
  using GetTempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);
  const auto getTempPath2 = ProcedureOf<GetTempPath2Fn>(::GetModuleHandleW(L"kernel32.dll"), "GetTempPath2W");
  wchar_t temp[MAX_PATH + 2] = {};
  // GetTempPath2W names C:\Windows\SystemTemp for SYSTEM without looking
  // whether it exists (an update may add the call before the folder).
  bool useTempPath2 = getTempPath2 != nullptr;
  if (useTempPath2 && RunsAsSystem()) {
    const DWORD length = getTempPath2(MAX_PATH + 1, temp);
    const DWORD attributes = length != 0 && length <= MAX_PATH + 1 ? ::GetFileAttributesW(temp) : INVALID_FILE_ATTRIBUTES;
    useTempPath2 = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                   (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  }
  if (!useTempPath2 && RunsAsSystem()) {
    const std::wstring system = SystemDirectory();
    if (system.empty()) return {};
    std::wstring folder = system + L"\\config\\systemprofile";
    for (const wchar_t* part : {L"\\AppData", L"\\Local", L"\\Temp"}) {
      folder += part;
      ::CreateDirectoryW(folder.c_str(), nullptr);  // new folders take the profile's permissions
    }
    return folder + L"\\";
  }
  const DWORD length = useTempPath2 ? getTempPath2(MAX_PATH + 1, temp) : ::GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH + 1) return {};
  return std::wstring(temp, length);
}

enum class Lock {
  kTaken,
  kHeld,
  kFailed,       // the system refused: this run goes on unlocked
  kNoNamespace,  // the system has no private namespaces
};

// The install lock is a private namespace: its name is bound to the
// Administrators group, so only a process that holds that group (an
// elevated administrator, SYSTEM) can create it, and no one but SYSTEM and
// the Administrators can open it. Whichever Vornell creates it holds it until
// it ends; the system keeps one such namespace for all sessions, so a
// user's wizard and a deployment tool's run under SYSTEM see each other. A
// mutex inside it would not do: the namespace closes with the process that
// created it, and a third run would create a new one beside the mutex that a
// second run still holds. Public names (the old "Global\..." one) change
// nothing. Looked up at run time: Wine has none of these calls.
Lock LockInPrivateNamespace() {
  using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
  using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
  using DeleteBoundaryFn = VOID(WINAPI*)(HANDLE);
  using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto createBoundary = ProcedureOf<CreateBoundaryFn>(kernel, "CreateBoundaryDescriptorW");
  const auto addSid = ProcedureOf<AddSidFn>(kernel, "AddSIDToBoundaryDescriptor");
  const auto deleteBoundary = ProcedureOf<DeleteBoundaryFn>(kernel, "DeleteBoundaryDescriptor");
  const auto createNamespace = ProcedureOf<CreateNamespaceFn>(kernel, "CreatePrivateNamespaceW");
  if (createBoundary == nullptr || addSid == nullptr || deleteBoundary == nullptr || createNamespace == nullptr) {
    return Lock::kNoNamespace;
  }
  SecurityFromSddl security(kAdminsOnlyDacl);
  BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
  DWORD sidSize = sizeof administrators;
  HANDLE boundary = createBoundary(L"Orvane.Vornell", 0);
  if (boundary == nullptr) return Lock::kFailed;
  Lock outcome = Lock::kTaken;
  if (security.Attributes() == nullptr ||
      !::CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sidSize) ||
      !addSid(&boundary, administrators)) {
    outcome = Lock::kFailed;
  } else if (createNamespace(security.Attributes(), boundary, L"Orvane.Vornell.Install") == nullptr) {
    // Any failure but "exists" comes from this process (one without the
    // group cannot install either), not from another user.
    outcome = ::GetLastError() == ERROR_ALREADY_EXISTS ? Lock::kHeld : Lock::kFailed;
  }
  // Otherwise the namespace's handle stays open for the life of the
  // process: its end frees the name.
  deleteBoundary(boundary);
  return outcome;
}


// The program's own file, open since start (HoldProgramFile).
std::atomic<HANDLE> heldProgram{nullptr};

std::wstring WithoutFinalBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

}  // namespace

namespace {

// Session 0 shows no one anything since Windows Vista; a window station
// without WSF_VISIBLE (a service's, a new one of a deployment agent's)
// neither. SYSTEM given a visible station in a user's session is seen.
bool SeenByPerson() {
  DWORD session = 0;
  if (::ProcessIdToSessionId(::GetCurrentProcessId(), &session) && session == 0) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  const HWINSTA station = ::GetProcessWindowStation();
  // Not knowing is taken as seen: the wizard is what a person started.
  if (station == nullptr || !::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed)) return true;
  return (flags.dwFlags & WSF_VISIBLE) != 0;
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
  facts.elevated = ProcessElevated();
  facts.system = RunsAsSystem();
  facts.seenByPerson = SeenByPerson();
  facts.ansiCodePage = ::GetACP();
  return facts;
}

std::string ShownPath(const std::wstring& path) { return LenientGbk(path); }

namespace {

bool TakeLockOnce() {
  switch (LockInPrivateNamespace()) {
    case Lock::kTaken:
      return true;
    case Lock::kHeld:
      return false;
    case Lock::kFailed:
      return true;  // no lock to be had: nothing to wait for either
    case Lock::kNoNamespace:
      break;
  }
  // Without private namespaces (Wine): a lock file that only SYSTEM and the
  // Administrators can create, open or delete. The Windows folder admits no
  // one else's files, the file's own permissions no one else's handle, and
  // opened without sharing it is one process's at a time. It goes when the
  // process ends, however it ends.
  const std::wstring windows = WindowsFolder();
  SecurityFromSddl security(kAdminsOnlyDacl);
  if (windows.empty() || security.Attributes() == nullptr) return true;
  HANDLE lock = ::CreateFileW((windows + L"\\Orvane.Vornell.Install.lock").c_str(), GENERIC_READ | DELETE, 0,
                              security.Attributes(), OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
  if (lock != INVALID_HANDLE_VALUE) return true;  // kept open for the life of the process
  // In use, or still being deleted by a Vornell that just ended.
  const DWORD error = ::GetLastError();
  return error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED;
}

}  // namespace

bool TakeInstallLock() {
  // Asked again by a process that holds it (the wizard, before it copies).
  static bool held = false;
  if (held) return true;
  held = TakeLockOnce();
  return held;
}


bool HoldProgramFile() {
  if (heldProgram.load() != nullptr) return true;
  const std::wstring path = ProgramFilePath();
  if (path.empty()) return false;
  // Shared for reading only: while it is open nobody can write, replace,
  // rename or delete the file, so the program copy made from it later is
  // the program that runs.
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  HANDLE none = nullptr;
  if (!heldProgram.compare_exchange_strong(none, file)) ::CloseHandle(file);
  return true;
}

HANDLE HeldProgramFile() { return heldProgram.load(); }

void ReleaseProgramFile() {
  const HANDLE file = heldProgram.exchange(nullptr);
  if (file != nullptr) ::CloseHandle(file);
}

bool OpenProcessLog(const std::wstring& path, std::string* why) {
  static LogFile file;
  const bool opened = file.Open(path, why);
  if (opened) GetLog().SetSink(&file);
  return opened;
}

}  // namespace vornell
