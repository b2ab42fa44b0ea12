#include "platform/log.h"

#include <cstdio>
#include <string>

namespace vornell {

namespace {

// Every byte below 0x20 and 0x7F is a character of its own in UTF-8, and a C1
// control (U+0080 to U+009F) is C2 80 to C2 9F: each becomes a space,
// without splitting a character.
std::string OneLine(std::string_view utf8, bool keepTab) {
  std::string text;
  text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
        static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
      text += ' ';
      ++i;
    } else if ((byte < 0x20 && !(byte == '\t' && keepTab)) || byte == 0x7F) {
      text += ' ';
    } else {
      text += static_cast<char>(byte);
    }
  }
  return text;
}

// The viewer ends a record's text at the first "]LOG]!>", wherever it is.
std::string EscapeRecordEnd(std::string text) {
  static constexpr std::string_view kEnd = "]LOG]!>";
  for (std::size_t at = 0; (at = text.find(kEnd, at)) != std::string::npos;) {
    text.replace(at + kEnd.size() - 1, 1, "&gt;");
    at += kEnd.size();
  }
  return text;
}

// "2026-12-09 14:03:07.412".
std::string FormatLogTime(const LogTime& t) {
  char text[48];  // room for any uint16_t values
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", unsigned{t.year}, unsigned{t.month},
                unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second},
                unsigned{t.millisecond});
  return text;
}

// time="14:03:07.412-480" date="12-09-2026": the bias with its own sign,
// never a second one, and no padding.
std::string FormatRecordTime(const LogTime& t) {
  char text[96];
  std::snprintf(text, sizeof text, "time=\"%02u:%02u:%02u.%03u%c%ld\" date=\"%02u-%02u-%04u\"", unsigned{t.hour},
                unsigned{t.minute}, unsigned{t.second}, unsigned{t.millisecond}, t.biasMinutes < 0 ? '-' : '+',
                t.biasMinutes < 0 ? -static_cast<long>(t.biasMinutes) : static_cast<long>(t.biasMinutes),
                unsigned{t.month}, unsigned{t.day}, unsigned{t.year});
  return text;
}

char RecordType(LogLevel level) {
  switch (level) {
    case LogLevel::kWarning:
      return '2';
    case LogLevel::kError:
      return '3';
    case LogLevel::kInfo:
      break;
  }
  return '1';
}

}  // namespace

std::string FormatLogLine(LogFormat format, const LogTime& time, std::uint32_t thread, LogLevel level,
                          std::string_view utf8) {
  if (format == LogFormat::kText) return FormatLogTime(time) + ' ' + OneLine(utf8, true) + "\r\n";
  std::string line = "<![LOG[";
  line += EscapeRecordEnd(OneLine(utf8, false));
  line += "]LOG]!><";
  line += FormatRecordTime(time);
  line += " component=\"Vornell\" context=\"\" type=\"";
  line += RecordType(level);
  line += "\" thread=\"" + std::to_string(thread) + "\" file=\"\">\r\n";
  return line;
}

void Log::SetSink(LogSink* sink) {
  std::lock_guard lock(mutex_);
  sink_ = sink;
  sinkHasLines_ = false;
}

void Log::SetFormat(LogFormat format) {
  std::lock_guard lock(mutex_);
  format_ = format;
}

void Log::Write(std::string_view gbk) { Write(LogLevel::kInfo, gbk); }

void Log::Write(LogLevel level, std::string_view gbk) {
  // Converted outside the lock.
  WriteUtf8(level, GbkToUtf8(gbk));
}

void Log::WriteUtf8(LogLevel level, std::string_view utf8) {
  // Stamped inside the lock, so times never go back.
  std::lock_guard lock(mutex_);
  if (sink_ == nullptr) return;
  // The byte order mark tells the viewer that the records are UTF-8, not
  // the machine's ANSI code page: Chinese texts would show as garbage.
  if (!sinkHasLines_ && format_ == LogFormat::kCmTrace) sink_->Append("\xEF\xBB\xBF");
  sinkHasLines_ = true;
  sink_->Append(FormatLogLine(format_, sink_->Now(), sink_->ThreadId(), level, utf8));
}

void Log::Write(std::string_view name, std::string_view gbkValue) {
  std::string text(name);
  text += ": ";
  text += gbkValue;
  Write(text);
}

void Log::Write(std::string_view name, std::uint64_t value) {
  Write(name, std::string_view(std::to_string(value)));
}

Log& GetLog() {
  static Log log;
  return log;
}

}  // namespace vornell
