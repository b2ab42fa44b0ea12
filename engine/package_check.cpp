#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/services.h"

namespace vornell {

bool CheckDriverPackage() {
  Services& services = GetServices();
  // Relative to the current directory, as the user started the installer
  // from the package's folder.
  for (std::size_t i = 0; i < kDriverFileCount; ++i) {
    if (!services.PathExists(installerState.driverSourceFolder + DriverFileName(installerState, i))) {
      return false;
    }
  }
  return true;
}

}  // namespace vornell
