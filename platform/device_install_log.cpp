#include "platform/device_install_log.h"

#include <atomic>
#include <deque>

#include "platform/process.h"

namespace vornell {

namespace {

// SetupAPI's entries are at most 336 characters; anything longer is cut at
// a character's start, so that no line of it can flood our log.
constexpr std::size_t kMaxLineBytes = 1024;
// A log that grew more than this during the run is read from this far
// before its end.
constexpr std::uint64_t kMaxReadBytes = 8u << 20;

// The run's mark, read by the run limit's thread.
std::atomic<bool> g_markExists{false};
std::atomic<std::uint64_t> g_markSize{0};

bool StartsWith(std::string_view line, std::string_view prefix) { return line.substr(0, prefix.size()) == prefix; }

// "<<<  [Exit status: FAILURE(0xe0000219)]" as Windows 10 writes it, "<<<
// [Exit Status(0x00000000)]" as the documentation shows it; not "Section end".
bool IsExitStatus(std::string_view line) {
  const std::size_t open = line.find('[');
  if (open == std::string_view::npos || line.size() - open < 5) return false;
  std::string word(line.substr(open + 1, 4));
  for (char& c : word) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return word == "exit";
}

std::string Shortened(std::string_view line) {
  if (line.size() <= kMaxLineBytes) return std::string(line);
  std::size_t end = kMaxLineBytes;
  while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;  // a UTF-8 continuation
  return std::string(line.substr(0, end)) + "...";
}

}  // namespace

DeviceLogExcerpt ExtractDeviceLogExcerpt(std::string_view text, std::size_t maxLines) {
  DeviceLogExcerpt excerpt;
  std::deque<DeviceLogLine> kept;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++excerpt.read;
    DeviceLogLine entry;
    if (StartsWith(line, "!!!")) {
      entry.level = LogLevel::kError;
    } else if (StartsWith(line, "!")) {
      entry.level = LogLevel::kWarning;
    } else if (!StartsWith(line, ">>>") && !(StartsWith(line, "<<<") && IsExitStatus(line))) {
      continue;
    }
    ++excerpt.found;
    if (maxLines == 0) continue;
    entry.text = Shortened(line);
    if (kept.size() == maxLines) kept.pop_front();
    kept.push_back(std::move(entry));
  }
  excerpt.lines.assign(std::make_move_iterator(kept.begin()), std::make_move_iterator(kept.end()));
  return excerpt;
}

DeviceLogMark MarkDeviceInstallLog() {
  DeviceLogMark mark;
  mark.exists = DeviceInstallLogSize(mark.size);
  if (!mark.exists) mark.size = 0;
  g_markSize = mark.size;
  g_markExists = mark.exists;
  return mark;
}

DeviceLogMark RunDeviceLogMark() { return DeviceLogMark{g_markExists.load(), g_markSize.load()}; }

void AppendDeviceInstallLog(const DeviceLogMark& mark, Log& log) {
  const std::string name = "Windows' device-installation log (" + DeviceInstallLogPath() + ")";
  std::uint64_t size = 0;
  if (!DeviceInstallLogSize(size)) {
    log.Write(name + " is not there: nothing of it to add");
    return;
  }
  const std::uint64_t from = mark.exists && size >= mark.size ? mark.size : 0;
  if (size == from) {
    log.Write(name + ": nothing was written to it during this run");
    return;
  }
  std::string text;
  bool cut = false;
  std::uint32_t error = 0;
  if (!ReadDeviceInstallLog(from, kMaxReadBytes, text, cut, error)) {
    log.Warning(name + " could not be read, error " + std::to_string(error));
    return;
  }
  const DeviceLogExcerpt excerpt = ExtractDeviceLogExcerpt(text);
  if (excerpt.found == 0) {
    log.Write(name + ": " + std::to_string(excerpt.read) +
              " lines written during this run, none a section, an exit status, a warning or an error");
    return;
  }
  std::string heading = name + ", written during this run: its sections, exit statuses, warnings and errors";
  if (excerpt.lines.size() < excerpt.found) {
    heading += ", the last " + std::to_string(excerpt.lines.size()) + " of " + std::to_string(excerpt.found);
  }
  if (cut) heading += " (of its last " + std::to_string(kMaxReadBytes >> 20) + " MiB only)";
  log.Write(heading);
  for (const DeviceLogLine& line : excerpt.lines) log.WriteUtf8(line.level, line.text);
}

}  // namespace vornell
