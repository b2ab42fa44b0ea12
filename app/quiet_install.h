#pragma once
// The unattended installation: the wizard's engine with no window, no box
// and no pause for show, ending in an exit code a deployment tool reads.
#include "app/command_line.h"

namespace vornell {

// The registration wait of the unattended mode: a look every 250 ms from the
// start, up to the wizard's overall limit of 27 s.
inline constexpr std::uint32_t kQuietLookMs = 250;
inline constexpr std::uint32_t kQuietWaitLimitMs = 27000;

// Installs as `command` asks and returns the exit code. The package is
// looked for in the current directory, then beside the program. The caller
// holds the install lock.
int RunQuietInstall(const CommandLine& command);

}  // namespace vornell
