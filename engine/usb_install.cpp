#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/driver_setup.h"

namespace vornell {

namespace {
// Written when the update failed but the INF now sits in the driver store.
constexpr std::int32_t kInfStoredOnly = -1;
// An update that never ran because Windows was still installing devices.
constexpr std::int32_t kStillInstalling = static_cast<std::int32_t>(kErrorDeviceInstallerNotReady);
}  // namespace

bool AddDriverToStore(const std::string& infPath, std::string* storedName) {
  return GetDriverSetup().SetupCopyOemInf(infPath, kSpostPath, kSpCopyNewer, storedName) == 1;
}

std::uint32_t UsbInstallThread(void* parameter) {
  WorkerSettings wizard = kWizardWorkers;
  WorkerSettings& settings = parameter != nullptr ? *static_cast<WorkerSettings*>(parameter) : wizard;
  bool* const restartNeeded = settings.reportRestart ? &settings.restartNeeded : nullptr;
  settings.updateError = 0;
  settings.installsPending = false;
  DriverSetup& setup = GetDriverSetup();
  const std::string infPath = PackageInfPath(installerState);
  const std::string hardwareId = installerState.hardwareId != nullptr ? installerState.hardwareId : "";
  const std::uint32_t flags = kInstallFlagForce | (settings.unattended ? kInstallFlagNonInteractive : 0);

  // A printer just plugged in is being installed by Windows itself: an
  // update now fails as "not ready", or races Windows to the queue. Wait
  // for it first, and once more if the update still met it.
  bool updated = false;
  std::uint32_t error = 0;
  for (int attempt = 0; attempt < 2 && !updated; ++attempt) {
    std::uint32_t waitedMs = 0;
    if (setup.WaitNoPendingInstalls(settings.pendingInstallsMs, waitedMs) == PendingInstalls::kStillPending &&
        settings.unattended) {
      // A deployment tool retries later; the wizard goes on regardless.
      settings.installsPending = true;
      installerState.workerStatus = kStillInstalling;
      return static_cast<std::uint32_t>(kStillInstalling);
    }
    updated = setup.UpdateDriver(hardwareId, infPath, flags, restartNeeded);
    // Read before the fall-back call can overwrite it.
    if (!updated) error = setup.LastError();
    if (error != kErrorDeviceInstallerNotReady) break;
  }

  std::int32_t status = 0;
  if (!updated) {
    settings.updateError = error;
    // Unattended, the store stands in for the update only where there is no
    // device to update: a failed update must not pass for an install.
    const bool tryStore = !settings.unattended || error == kErrorNoSuchDevinst;
    status = tryStore && AddDriverToStore(infPath) ? kInfStoredOnly : static_cast<std::int32_t>(error);
  }
  installerState.workerStatus = status;
  return static_cast<std::uint32_t>(status);
}

}  // namespace vornell
