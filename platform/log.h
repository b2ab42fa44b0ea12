#pragma once
// The program's log: one line per event, each stamped with the local time to
// the millisecond, kept as UTF-8 with CRLF line ends for support staff on
// Windows. Callers hand GBK text, as every text in the program is. Two
// layouts: our own plain lines, or Configuration Manager's records, which
// its log viewers colour by level (info, warning, error).
//
// One log for the process (GetLog), silent until a sink is set, so code may
// log before the log file is open or in tests that do not look at it.
// Every member may be called from any thread; the workers log from theirs.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace vornell {

struct LogTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;
  std::uint16_t day = 0;
  std::uint16_t hour = 0;
  std::uint16_t minute = 0;
  std::uint16_t second = 0;
  std::uint16_t millisecond = 0;
  // Minutes to add to the local time for UTC, as Windows counts them:
  // China -480, US Eastern +300 (+240 in summer).
  std::int32_t biasMinutes = 0;
};

enum class LogLevel { kInfo, kWarning, kError };

enum class LogFormat {
  kText,     // "2026-12-09 14:03:07.412 text"
  kCmTrace,  // <![LOG[text]LOG]!><time=... type="1|2|3" thread="N" ...>, after a UTF-8 byte order mark
};

// Where the lines go. The sink owns the clock, so that tests stamp lines
// with a time of their choosing.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual LogTime Now() = 0;
  // The calling thread's id, as the system numbers threads.
  virtual std::uint32_t ThreadId() = 0;
  // One whole line, UTF-8, ending in CRLF.
  virtual void Append(std::string_view utf8Line) = 0;
};

class Log {
 public:
  // Lines written while no sink is set go nowhere. The sink must stay alive
  // until another (or null) has been set.
  void SetSink(LogSink* sink);
  // Set before the first line; the plain layout unless asked.
  void SetFormat(LogFormat format);

  // `gbk` becomes one line: a line break or other control character in it
  // becomes a space, so nothing written can pose as a line of its own.
  void Write(std::string_view gbk);
  // "name: value".
  void Write(std::string_view name, std::string_view gbkValue);
  void Write(std::string_view name, std::uint64_t value);
  void Write(LogLevel level, std::string_view gbk);
  void Warning(std::string_view gbk) { Write(LogLevel::kWarning, gbk); }
  void Error(std::string_view gbk) { Write(LogLevel::kError, gbk); }
  // A text that is UTF-8 already (another program's log), made one line the same way.
  void WriteUtf8(LogLevel level, std::string_view utf8);

 private:
  std::mutex mutex_;
  LogSink* sink_ = nullptr;
  LogFormat format_ = LogFormat::kText;
  bool sinkHasLines_ = false;
};

// One record in `format`, CRLF included. `utf8` is one line already.
std::string FormatLogLine(LogFormat format, const LogTime& time, std::uint32_t thread, LogLevel level,
                          std::string_view utf8);

// The process's log.
Log& GetLog();

// GBK to UTF-8, never failing: a byte that starts no GBK character becomes
// U+FFFD. The platform's own, defined by win32/ or simulated/.
std::string GbkToUtf8(std::string_view gbk);

}  // namespace vornell
