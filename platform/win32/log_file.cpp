#include "platform/win32/log_file.h"

#include <windows.h>

#include <sddl.h>

#include <climits>
#include <string>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/security_descriptor.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

// Never a pipe's or device's server acting as us: a name that turns out to
// be one sees an anonymous client.
constexpr DWORD kNoImpersonation = SECURITY_SQOS_PRESENT | SECURITY_ANONYMOUS;

// Puts the thread's last error back when the scope ends.
class KeepLastError {
 public:
  KeepLastError() : error_(GetLastError()) {}
  ~KeepLastError() { SetLastError(error_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD error_;
};

// The path without its "\\?\" or "\\?\UNC\" prefix, as a user writes it.
std::wstring Plain(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + path.substr(8);
  if (path.rfind(L"\\\\?\\", 0) == 0) return path.substr(4);
  return path;
}

// A file on a drive ("C:\...") or a share ("\\server\share\..."): no device
// ("\\.\", what "NUL" or "COM1" become), no other namespace, no stream.
bool NamesAFile(const std::wstring& plain) {
  if (plain.size() > 3 && plain[1] == L':' && plain[2] == L'\\' && plain.find(L':', 2) == std::wstring::npos) {
    return true;
  }
  if (plain.rfind(L"\\\\", 0) != 0 || plain.find(L':') != std::wstring::npos) return false;
  const std::wstring server = plain.substr(2, plain.find(L'\\', 2) - 2);
  return !server.empty() && server != L"." && server != L"?";
}

std::wstring FinalPath(HANDLE file) {
  return PathFromCall([file](wchar_t* buffer, DWORD size) {
    return ::GetFinalPathNameByHandleW(file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  });
}

// The final path a drive letter's root has ("C:", "\\server\share"), without
// a final backslash; empty when the system does not say.
std::wstring RootFinalPath(wchar_t letter) {
  const wchar_t root[] = {letter, L':', L'\\', L'\0'};
  // A folder opens only with backup semantics.
  HANDLE handle = ::CreateFileW(root, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | kNoImpersonation, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::wstring path = Plain(FinalPath(handle));
  ::CloseHandle(handle);
  while (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

bool IsDriveLetter(const std::wstring& path) {
  const wchar_t letter = path.empty() ? L'\0' : static_cast<wchar_t>(path[0] | 0x20);
  return path.size() >= 2 && path[1] == L':' && letter >= L'a' && letter <= L'z';
}

// `path` with its short names long, as final paths have them; as it is
// when the system cannot say.
std::wstring LongPath(const std::wstring& path) {
  std::wstring longer = PathFromCall([&path](wchar_t* buffer, DWORD size) {
    return ::GetLongPathNameW(path.c_str(), buffer, size);
  });
  return longer.empty() ? path : longer;
}

// What a drive letter stands for, as final paths begin: itself ("D:") for a
// volume, the folder for a substituted letter ("C:\work", "\\server\share\x"),
// the share for a mapped one ("\\server\share"). A substituted letter is
// taken as its definition says, not as the folder's final path: a link in
// that folder's path must still show. Empty when it cannot be told.
std::wstring DriveTarget(wchar_t letter, int depth = 0) {
  const wchar_t device[] = {letter, L':', L'\0'};
  // The answer is a list of strings, each with its zero, ending in one
  // more; only the first counts.
  std::wstring buffer(MAX_PATH, L'\0');
  while (::QueryDosDeviceW(device, buffer.data(), static_cast<DWORD>(buffer.size())) == 0) {
    // Not told: the root's own final path, if it has one, decides.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= kMaxWideChars) return RootFinalPath(letter);
    buffer.resize(kMaxWideChars);
  }
  std::wstring target = buffer.c_str();
  if (target.rfind(L"\\??\\", 0) != 0) {
    // A volume or a network redirector's device: its root tells.
    return RootFinalPath(letter);
  }
  target = target.substr(4);
  if (target.rfind(L"UNC\\", 0) == 0) {
    target = L"\\\\" + target.substr(4);
  } else if (IsDriveLetter(target) && depth < 8) {
    // Substituted for a folder of another letter, perhaps substituted too.
    const std::wstring base = DriveTarget(target[0], depth + 1);
    if (base.empty()) return {};
    target = base + target.substr(2);
  } else {
    return {};
  }
  while (!target.empty() && target.back() == L'\\') target.pop_back();
  return target;
}

// True when the open file is the one `full` names: no junction, mount point
// or link in any folder of the path led elsewhere. Short names in the
// request count as their long ones; a drive letter counts as what it
// stands for. `why` says what differed.
bool IsAt(HANDLE file, const std::wstring& full, std::string* why = nullptr) {
  const std::wstring final = Plain(FinalPath(file));
  if (final.empty()) {
    if (why != nullptr) *why = "its final path could not be read";
    return false;
  }
  std::wstring expected = Plain(LongPath(full));
  if (IsDriveLetter(expected)) {
    const std::wstring drive = DriveTarget(expected[0]);
    if (drive.empty()) {
      if (why != nullptr) *why = "what its drive letter stands for could not be told; give the real path";
      return false;
    }
    // A substituted folder may be named by its short names.
    if (!SameIgnoringCase(drive, expected.substr(0, 2))) expected = Plain(LongPath(drive + expected.substr(2)));
  }
  if (final.size() > INT_MAX || expected.size() > INT_MAX ||
      ::CompareStringOrdinal(final.data(), static_cast<int>(final.size()), expected.data(),
                             static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL) {
    if (why != nullptr) *why = "a link, junction or mount point in its folders leads to " + LenientGbk(final);
    return false;
  }
  return true;
}

bool IsDiskFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  return ::GetFileType(file) == FILE_TYPE_DISK && ::GetFileInformationByHandle(file, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Deletes the open file itself, whatever its name has become. The name goes
// at once where the system can (Windows 10 1607 and later, on NTFS), so the log
// can be created anew even while its planter still holds the old file open.
bool DeleteOpenFile(HANDLE file) {
  // FileDispositionInfoEx and its flags, which the headers show only to
  // programs built for Windows 10 1607 and later; older systems refuse them.
  constexpr auto kDispositionEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
  constexpr DWORD kDelete = 0x1, kPosixSemantics = 0x2, kIgnoreReadOnly = 0x10;
  for (DWORD flags : {kDelete | kPosixSemantics | kIgnoreReadOnly, kDelete | kPosixSemantics}) {
    if (::SetFileInformationByHandle(file, kDispositionEx, &flags, sizeof flags)) return true;
  }
  FILE_DISPOSITION_INFO dispose{TRUE};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof dispose) != FALSE;
}

// Whatever is already at the path goes, so that nothing of its planter's
// (content, permissions, open handles) carries over; a link there goes
// itself, never its target. False when something stays there.
bool RemoveExisting(const std::wstring& full, std::string& why) {
  HANDLE old = ::CreateFileW(full.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OPEN_REPARSE_POINT | kNoImpersonation, nullptr);
  if (old == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return true;
    why = "what is at the path could not be opened to be replaced, error " + std::to_string(error);
    return false;
  }
  // A file reached through a redirected folder is not ours to delete.
  bool removed = false;
  if (!IsDiskFile(old)) {
    why = "it names a folder, a device or a pipe";
  } else if (IsAt(old, full, &why)) {
    removed = DeleteOpenFile(old);
    if (!removed) why = "the file at the path could not be deleted, error " + std::to_string(::GetLastError());
  }
  ::CloseHandle(old);
  return removed;
}

// Only SYSTEM and the Administrators may write the log. The account that
// runs the program may read it without elevation too: an administrator's
// unelevated Notepad has the Administrators group only for denying.
std::wstring LogSecurity() {
  std::wstring sddl = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)";
  const std::wstring user = ProcessUserSid();
  if (!user.empty()) sddl += L"(A;;FR;;;" + user + L")";
  return sddl;
}

}  // namespace

LogFile::~LogFile() {
  KeepLastError keep;
  Close();
}

void LogFile::Close() {
  if (file_ != nullptr) CloseHandle(static_cast<HANDLE>(file_));
  file_ = nullptr;
}

bool LogFile::Open(const std::wstring& path, std::string* why) {
  KeepLastError keep;
  Close();
  std::string reason;
  const bool opened = OpenAnew(path, reason);
  if (why != nullptr) *why = reason;
  return opened;
}

bool LogFile::OpenAnew(const std::wstring& path, std::string& why) {
  // One full path for every step, whatever the current directory does.
  std::wstring full;
  if (!WideFullPath(path, full)) {
    why = "it cannot be made a full path";
    return false;
  }
  if (!NamesAFile(Plain(full))) {
    why = "it names no file on a drive or a share";
    return false;
  }
  if (!RemoveExisting(full, why)) return false;

  SecurityFromSddl security(LogSecurity());
  if (security.Attributes() == nullptr) {
    why = "its permissions could not be made";
    return false;
  }
  // CREATE_NEW: a file that appeared since is someone else's. With
  // FILE_FLAG_OPEN_REPARSE_POINT a link planted meanwhile is not followed to
  // create its target. No FILE_SHARE_DELETE: nobody renames or swaps it
  // while it is open.
  HANDLE file = ::CreateFileW(full.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ, security.Attributes(),
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | kNoImpersonation,
                              nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = "it could not be created, error " + std::to_string(::GetLastError());
    return false;
  }
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    why = "it names a device or a pipe";
    return false;
  }
  // Created through a junction or link in a parent folder: this run made
  // the file, so it takes it away again.
  if (!IsAt(file, full, &why)) {
    DeleteOpenFile(file);
    ::CloseHandle(file);
    return false;
  }
  file_ = file;
  return true;
}

LogTime LogFile::Now() {
  KeepLastError keep;
  SYSTEMTIME now{};
  GetLocalTime(&now);
  // The bias in force now: the standard or the daylight one added to the
  // zone's own. Unknown (the call failed) is written as UTC's.
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  LONG bias = 0;
  if (which != TIME_ZONE_ID_INVALID) {
    bias = zone.Bias;
    if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  }
  return LogTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                 now.wMilliseconds, static_cast<std::int32_t>(bias)};
}

std::uint32_t LogFile::ThreadId() { return GetCurrentThreadId(); }

void LogFile::Append(std::string_view utf8Line) {
  if (file_ == nullptr || utf8Line.size() > MAXDWORD) return;
  KeepLastError keep;
  // One write per line, so a crash leaves the log whole up to its last line.
  // A failed write is not retried: the installation goes on without it.
  DWORD written = 0;
  WriteFile(static_cast<HANDLE>(file_), utf8Line.data(), static_cast<DWORD>(utf8Line.size()), &written,
            nullptr);
}

// The Windows build's conversion: code page 936 as the system knows it,
// leniently, then UTF-8.
std::string GbkToUtf8(std::string_view gbk) {
  KeepLastError keep;
  if (gbk.size() > INT_MAX / 4) gbk = gbk.substr(0, INT_MAX / 4);
  return WideToUtf8(LenientWide(gbk));
}

}  // namespace vornell
