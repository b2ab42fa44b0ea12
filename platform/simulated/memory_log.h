#pragma once
// A log sink for the native tests: lines kept in memory, stamped with a time
// and a thread id the test sets.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log.h"

namespace vornell {

class MemoryLog final : public LogSink {
 public:
  void SetTime(const LogTime& time);
  void SetThreadId(std::uint32_t thread);
  // Everything appended, as a log file would hold it.
  std::string Text() const;
  // The lines without their CRLF.
  std::vector<std::string> Lines() const;
  void Clear();

  LogTime Now() override;
  std::uint32_t ThreadId() override;
  void Append(std::string_view utf8Line) override;

 private:
  mutable std::mutex mutex_;
  LogTime time_{2026, 12, 9, 14, 3, 7, 412, -480};
  std::uint32_t thread_ = 1;
  std::string text_;
};

}  // namespace vornell
