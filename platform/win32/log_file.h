#pragma once
// The log file of the real program. It runs elevated and the file sits
// where a user can write (%TEMP%, or a /log path), so opening it never
// follows a link planted at its path. A log that cannot be opened or written
// stops nothing: its lines go nowhere.
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

  // Replaces the file at `path` with an empty log. Refused (false, nothing
  // written or cut) when the path names a directory, a symbolic link, a
  // junction or any other reparse point, or a file with more than one name.
  bool Open(const std::wstring& path);

  // Both leave the thread's last error as they found it, so that logging
  // between a system call and the reading of its error changes nothing.
  LogTime Now() override;
  void Append(std::string_view utf8Line) override;

 private:
  void Close();

  void* file_ = nullptr;  // HANDLE; null when not open
};

}  // namespace vornell
