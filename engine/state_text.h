#pragma once
// Texts the engine reads from the installer state, bounded by their buffers.
#include <cstring>
#include <string>

#include "engine/installer_state.h"

namespace vornell {

// The fixed buffer need not hold a terminating zero; never read past it.
inline std::string PrinterDriverDirectoryText(const InstallerState& state) {
  const auto& buffer = state.printerDriverDirectory;
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

inline std::string DriverFileName(const InstallerState& state, std::size_t index) {
  const char* name = state.driverFiles[index];
  return name != nullptr ? std::string(name) : std::string();
}

// The package's INF as staging left it in the printer-driver directory: the
// copy the driver update and the driver store are given.
inline std::string StagedInfPath(const InstallerState& state) {
  return PrinterDriverDirectoryText(state) + "\\" + DriverFileName(state, 0);
}

}  // namespace vornell
