#pragma once
// Windows' own device-installation log (%windir%\INF\setupapi.dev.log), where
// the driver update and Windows' device installer (a process of its own) say
// why a driver was refused. A failed run copies into our log what was
// written there during the run: not only this process's lines, since the
// device installation runs in another one.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log.h"

namespace vornell {

inline constexpr std::size_t kDeviceLogExcerptLines = 200;

struct DeviceLogLine {
  LogLevel level = LogLevel::kInfo;  // "!!!" an error, "!" a warning
  std::string text;
};

struct DeviceLogExcerpt {
  std::vector<DeviceLogLine> lines;  // the last ones, in order
  std::size_t found = 0;             // lines of interest, kept or not
  std::size_t read = 0;              // lines read
};

// From the log's text (any line ends): the ">>>" section headers, the "<<<"
// exit statuses, and the entries marked "!" and "!!!", in order; of more
// than `maxLines`, the last, nearest the failure.
DeviceLogExcerpt ExtractDeviceLogExcerpt(std::string_view text, std::size_t maxLines = kDeviceLogExcerptLines);

// Where the log stood when the run began.
struct DeviceLogMark {
  bool exists = false;
  std::uint64_t size = 0;
};
// Where it stands now; kept as the run's mark too, for a run that ends
// itself at its time limit from another thread.
DeviceLogMark MarkDeviceInstallLog();
// The mark last taken; a log that was not there when none was taken.
DeviceLogMark RunDeviceLogMark();

// Writes under one heading the excerpt of what the log gained since `mark`
// (of all of it when it shrank: Windows began it anew), or one line saying
// why there is none.
void AppendDeviceInstallLog(const DeviceLogMark& mark, Log& log = GetLog());

}  // namespace vornell
