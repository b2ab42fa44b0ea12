#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/files.h"

namespace vornell {

bool CheckDriverPackage(const PackageReport& report) {
  Files& files = GetFiles();
  // Relative to the current directory, as the user started the installer
  // from the package's folder.
  for (std::size_t i = 0; i <= kDriverFileCount; ++i) {
    const std::string name = i < kDriverFileCount ? DriverFileName(installerState, i) : CatalogName(installerState);
    if (i == kDriverFileCount && name.empty()) continue;  // an INF that names no catalog
    const std::string file = installerState.driverSourceFolder + name;
    const bool found = files.PathExists(file);
    if (report) report(file, found);
    if (!found) return false;
  }
  return true;
}

}  // namespace vornell
