#pragma once
// Removal, as Apps & features and deployment tools run it: "/uninstall",
// with or without "/quiet".
#include <string>

#include "app/command_line.h"

namespace vornell {

// Asks first unless quiet, removes what an install left, tells the outcome
// in a box unless quiet, and returns the exit code. `logPath` is the log the
// failure box points to.
int RunUninstall(const CommandLine& command, const std::wstring& logPath);

}  // namespace vornell
