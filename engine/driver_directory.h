#pragma once
// The folder the driver files are staged into: the system's printer-driver
// directory followed by "\3".
#include <array>

#include "engine/installer_state.h"

namespace vornell {

// Fetches the directory (at most kPrinterDriverDirectoryFetchSize bytes)
// and appends "\3". When the system gives no usable path (the call fails,
// the path is empty or does not fit) the buffer is left all zero and the
// result is false: staging into "\3" under whatever the buffer held could
// put driver files at the root of a drive.
bool FetchPrinterDriverDirectory(std::array<char, kPrinterDriverDirectorySize>& buffer);

}  // namespace vornell
