#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/services.h"

namespace vornell {

namespace {
// Written when the update failed but the INF now sits in the driver store.
constexpr std::int32_t kInfStoredOnly = -1;
}  // namespace

bool AddStagedDriverToStore(const std::string& infPath) {
  return GetServices().SetupCopyOemInf(infPath, kSpostPath, kSpCopyNewer) == 1;
}

std::uint32_t UsbInstallThread(void* parameter) {
  auto* settings = static_cast<WorkerSettings*>(parameter);
  bool* const restartNeeded =
      settings != nullptr && settings->reportRestart ? &settings->restartNeeded : nullptr;
  Services& services = GetServices();
  // The staged copy, not the package's: staging put it there for this.
  const std::string infPath = StagedInfPath(installerState);
  const std::string hardwareId = installerState.hardwareId != nullptr ? installerState.hardwareId : "";

  std::int32_t status = 0;
  if (!services.UpdateDriver(hardwareId, infPath, kInstallFlagForce, restartNeeded)) {
    // Read before the fall-back call can overwrite it.
    const std::uint32_t updateError = services.LastError();
    status = AddStagedDriverToStore(infPath) ? kInfStoredOnly : static_cast<std::int32_t>(updateError);
  }
  installerState.workerStatus = status;
  return static_cast<std::uint32_t>(status);
}

}  // namespace vornell
