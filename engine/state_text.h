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

inline std::string CatalogName(const InstallerState& state) {
  return state.catalogFile != nullptr ? std::string(state.catalogFile) : std::string();
}

// The package's own INF, relative to the current directory: what the driver
// update and the driver store are given. Not the staged copy: staging keeps
// a file already in the driver directory, and an older version's INF left
// there would install the older driver.
inline std::string PackageInfPath(const InstallerState& state) {
  return state.driverSourceFolder + DriverFileName(state, 0);
}

}  // namespace vornell
