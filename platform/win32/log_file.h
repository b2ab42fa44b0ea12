#pragma once
// The log file of the real program. It runs elevated and the file may sit
// where a standard user can create files and folders (a /log path in
// C:\ProgramData, a temporary folder), so the log is made anew, for SYSTEM
// and the Administrators only, and written only where its path says. A log
// that cannot be opened or written stops nothing: its lines go nowhere.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/log.h"

namespace vornell {

class LogFile final : public LogSink {
 public:
  LogFile() = default;
  ~LogFile() override;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Deletes what is at `path` (a file, or a link itself, never its target)
  // and creates an empty log there. Refused (false) when the path names a
  // directory, a device or pipe, a stream, or what cannot be deleted, and
  // when a junction, mount point or link in any folder of the path leads
  // elsewhere: a file this created there is deleted again. A substituted
  // drive letter counts as the folder it stands for, a mapped one as its
  // share. `why` says, in a line, why it was refused.
  bool Open(const std::wstring& path, std::string* why = nullptr);

  // Both leave the thread's last error as they found it, so that logging
  // between a system call and the reading of its error changes nothing.
  LogTime Now() override;
  std::uint32_t ThreadId() override;
  void Append(std::string_view utf8Line) override;

 private:
  void Close();
  bool OpenAnew(const std::wstring& path, std::string& why);

  void* file_ = nullptr;  // HANDLE; null when not open
};

}  // namespace vornell
