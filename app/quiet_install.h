#pragma once
// The unattended installation: the wizard's engine with no window, no box
// and no pause for show, ending in an exit code a deployment tool reads.
#include <cstdint>

#include "app/command_line.h"

namespace vornell {

// The registration wait of the unattended mode: a look every 250 ms from the
// start, for up to 120 s after a driver update that worked: a slow spooler
// must not fail a good install. The environment variable
// VORNELL_QUEUE_WAIT_MS may shorten it (a number of milliseconds, below the
// limit), never lengthen it.
inline constexpr std::uint32_t kQuietLookMs = 250;
inline constexpr std::uint32_t kQuietWaitLimitMs = 120000;
// How long Windows' own device installations may keep the update waiting.
inline constexpr std::uint32_t kQuietPendingInstallsMs = 300000;

// The queue wait's limit for this run.
std::uint32_t QuietWaitLimitMs();

// Installs as `command` asks and returns the exit code. The package is
// taken from beside the program only, whose folder becomes the current
// directory. The caller holds the install lock.
int RunQuietInstall(const CommandLine& command);

}  // namespace vornell
