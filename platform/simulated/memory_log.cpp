#include "platform/simulated/memory_log.h"

#include <cerrno>

#include <iconv.h>

namespace vornell {

void MemoryLog::SetTime(const LogTime& time) {
  std::lock_guard lock(mutex_);
  time_ = time;
}

void MemoryLog::SetThreadId(std::uint32_t thread) {
  std::lock_guard lock(mutex_);
  thread_ = thread;
}

std::uint32_t MemoryLog::ThreadId() {
  std::lock_guard lock(mutex_);
  return thread_;
}

std::string MemoryLog::Text() const {
  std::lock_guard lock(mutex_);
  return text_;
}

void MemoryLog::Clear() {
  std::lock_guard lock(mutex_);
  text_.clear();
}

std::vector<std::string> MemoryLog::Lines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text_.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text_.substr(start, end - start));
  }
  if (start < text_.size()) lines.push_back(text_.substr(start));  // a line without its end
  return lines;
}

LogTime MemoryLog::Now() {
  std::lock_guard lock(mutex_);
  return time_;
}

void MemoryLog::Append(std::string_view utf8Line) {
  std::lock_guard lock(mutex_);
  text_ += utf8Line;
}

// The native build's conversion: glibc's own GBK table. A descriptor per
// call, since one may not be shared between threads.
std::string GbkToUtf8(std::string_view gbk) {
  static constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD
  std::string utf8;
  iconv_t converter = iconv_open("UTF-8", "GBK");
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    // No table: keep ASCII, mark the rest.
    for (char c : gbk) utf8 += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : kReplacement;
    return utf8;
  }
  char* in = const_cast<char*>(gbk.data());
  std::size_t inLeft = gbk.size();
  char buffer[256];
  while (inLeft > 0) {
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    utf8.append(buffer, static_cast<std::size_t>(out - buffer));
    if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL (half a character at the end): mark the byte, go on.
    utf8 += kReplacement;
    ++in;
    --inLeft;
  }
  iconv_close(converter);
  return utf8;
}

}  // namespace vornell
