#pragma once
// What the native tests set of the process (platform/process.h) and read
// back: its facts, another process holding the install lock, and the log.
#include <optional>
#include <string>

#include "platform/process.h"
#include "platform/simulated/memory_log.h"

namespace vornell {

// What StartRunLimit and NoteRunStep were last given.
std::uint32_t SimulatedRunLimitMs();
const char* SimulatedRunStep();
void SetSimulatedProcessFacts(const ProcessFacts& facts);
void SetInstallLockHeldElsewhere(bool held);
// The path last given to OpenProcessLog, and the lines written since.
const std::wstring& ProcessLogPath();
MemoryLog& ProcessLog();
// OpenProcessLog refuses with this reason; empty: it opens.
void RefuseProcessLog(std::string why);
// Windows' device-installation log: its text, or none (not there).
void SetSimulatedDeviceInstallLog(std::optional<std::string> text);

}  // namespace vornell
