#include "platform/win32/log_file.h"

#include <windows.h>

#include <climits>

#include "platform/win32/gbk_wide.h"

namespace vornell {

namespace {

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

}  // namespace

LogFile::~LogFile() {
  KeepLastError keep;
  Close();
}

void LogFile::Close() {
  if (file_ != nullptr) CloseHandle(static_cast<HANDLE>(file_));
  file_ = nullptr;
}

bool LogFile::Open(const std::wstring& path) {
  KeepLastError keep;
  Close();
  // OPEN_ALWAYS, not CREATE_ALWAYS: the file is not cut before we know what
  // it is. FILE_FLAG_OPEN_REPARSE_POINT opens a planted link itself, never
  // its target. No FILE_SHARE_DELETE: nobody renames or swaps it while open.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) {  // a device or pipe, no file
    CloseHandle(file);
    return false;
  }
  // A hard link planted beside a protected file would let us cut that file.
  if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
      info.nNumberOfLinks > 1) {
    CloseHandle(file);
    return false;
  }
  // Our own file now: only here is the old content cut.
  if (!SetEndOfFile(file)) {
    CloseHandle(file);
    return false;
  }
  file_ = file;
  return true;
}

LogTime LogFile::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return LogTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                 now.wMilliseconds};
}

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
