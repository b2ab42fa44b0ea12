#include "platform/log.h"

namespace vornell {

namespace {

void AppendDigits(std::string& text, unsigned value, int width) {
  char digits[5] = {};
  for (int i = width - 1; i >= 0; --i) {
    digits[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  text.append(digits, static_cast<std::size_t>(width));
}

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

}  // namespace

std::string FormatLogTime(const LogTime& time) {
  std::string text;
  text.reserve(23);
  AppendDigits(text, time.year, 4);
  text += '-';
  AppendDigits(text, time.month, 2);
  text += '-';
  AppendDigits(text, time.day, 2);
  text += ' ';
  AppendDigits(text, time.hour, 2);
  text += ':';
  AppendDigits(text, time.minute, 2);
  text += ':';
  AppendDigits(text, time.second, 2);
  text += '.';
  AppendDigits(text, time.millisecond, 3);
  return text;
}

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
