#pragma once
// Driver installation and the driver store: the update of the printer's
// device, the store's copy of the package, and its removal.
#include <cstdint>
#include <string>

#include "platform/system_errors.h"

namespace vornell {

constexpr std::uint32_t kInstallFlagForce = 0x1;
constexpr std::uint32_t kInstallFlagNonInteractive = 0x4;
constexpr std::uint32_t kSpostPath = 1;
constexpr std::uint32_t kSpCopyNewer = 0x4;

// What the wait for Windows' own device installations ends with
// (CMP_WaitNoPendingInstallEvents' values).
enum class PendingInstalls : std::uint32_t {
  kNone = 0,            // WAIT_OBJECT_0: nothing pending (any more)
  kStillPending = 258,  // WAIT_TIMEOUT
  kUnknown = 0xFFFFFFFF,  // WAIT_FAILED, or no such call on this system
};

// How the driver package left the driver store.
struct StoreRemoval {
  bool restartNeeded = false;
  std::string how;  // the system call that did it, for the log
};

class DriverSetup : public virtual SystemErrors {
 public:
  // Waits up to `timeoutMs` while Windows is still installing devices (a
  // printer just plugged in); `waitedMs` says how long it took.
  virtual PendingInstalls WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) = 0;
  // Device installation in this process shows nothing and asks nobody;
  // what would need a person fails instead (SetupSetNonInteractiveMode).
  virtual void SetNonInteractiveInstalls() = 0;
  // `infPath` may be relative: the system layer makes it a full path
  // against the current directory itself, whatever letters that holds.
  // Non-zero on success; on failure LastError() holds the reason. With
  // `restartNeeded` null the system asks the user about a restart itself;
  // otherwise it asks nobody and says there whether one is needed.
  virtual bool UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                            std::uint32_t installFlags, bool* restartNeeded) = 0;
  // The system's result: exactly 1 when the INF entered the driver store
  // (or is there already, identical: the store never holds it twice).
  // `infPath` as for UpdateDriver. `storedName`, when given, receives the
  // store's name for it ("oem12.inf").
  virtual int SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                              std::string* storedName = nullptr) = 0;
  // Takes the package `storedInf` out of the driver store, and off every
  // device installed from it where the system can (DiUninstallDriverW);
  // elsewhere SetupUninstallOEMInfW, forced with `force` even while a
  // device uses it.
  virtual bool RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) = 0;
  // The file name a stored INF had before the store named it ("RX730TP.INF"
  // for "oem12.inf"), from the store's own record.
  virtual bool StoredInfOrigin(const std::string& storedInf, std::string& originalName) = 0;
};

DriverSetup& GetDriverSetup();

}  // namespace vornell
