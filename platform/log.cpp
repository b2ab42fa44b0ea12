#include "platform/log.h"

#include <cstdio>

namespace vornell {

namespace {

// GBK trail bytes are 0x40 and above, so a byte below 0x20 is always a
// character of its own and can be replaced without splitting one.
std::string OneLine(std::string_view gbk) {
  std::string text(gbk);
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) c = ' ';
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

}  // namespace

void Log::SetSink(LogSink* sink) {
  std::lock_guard lock(mutex_);
  sink_ = sink;
}

void Log::Write(std::string_view gbk) {
  // Converted outside the lock; stamped inside it, so times never go back.
  const std::string text = GbkToUtf8(OneLine(gbk));
  std::lock_guard lock(mutex_);
  if (sink_ == nullptr) return;
  std::string line = FormatLogTime(sink_->Now());
  line += ' ';
  line += text;
  line += "\r\n";
  sink_->Append(line);
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
