// The simulated machine's driver installation: Windows' own pending
// installs, driver updates, and the driver store SetupCopyOemInf fills.
#include "platform/simulated/simulated_machine.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

#include "platform/gbk.h"

namespace vornell {

namespace fs = std::filesystem;

// ----- scripting -----

void SimulatedMachine::SetUpdateDriverResult(bool succeeds, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  updateSucceeds_ = succeeds;
  updateError_ = error;
}

void SimulatedMachine::SetCopyOemInfResult(int result, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  copyOemInfResult_ = result;
  copyOemInfError_ = error;
}

void SimulatedMachine::FailUpdates(int count, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  failingUpdates_ = count;
  failingUpdateError_ = error;
}

void SimulatedMachine::SetInstallsPendingUntil(std::uint64_t ms) {
  std::lock_guard lock(mutex_);
  pendingUntilMs_ = ms;
}

void SimulatedMachine::SetUpdateNeedsRestart(bool needs) {
  std::lock_guard lock(mutex_);
  updateNeedsRestart_ = needs;
}

std::vector<std::string> SimulatedMachine::StoredInfs() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [content, name] : store_) names.push_back(name);
  return names;
}

void SimulatedMachine::SetStoreRemovalNeedsRestart(bool needs) {
  std::lock_guard lock(mutex_);
  storeRemovalNeedsRestart_ = needs;
}

void SimulatedMachine::SetStoredInfOrigin(std::string storedInf, std::string originalName) {
  std::lock_guard lock(mutex_);
  storeOrigins_[std::move(storedInf)] = std::move(originalName);
}

// ----- helpers (called with the lock held) -----

bool SimulatedMachine::PrinterAttached() const {
  for (const std::string& path : usbPaths_) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (lower.find(kPrinterUsbId) != std::string::npos) return true;
  }
  return false;
}

bool SimulatedMachine::NamesAFile(std::string_view path) const {
  std::error_code error;
  return !path.empty() && fs::is_regular_file(ResolveLocked(path), error);
}

// ----- Services -----

PendingInstalls SimulatedMachine::WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) {
  std::lock_guard lock(mutex_);
  Record("WaitNoPendingInstalls", {}, {timeoutMs});
  waitedMs = 0;
  if (Injected(sim_error::kAccessDenied)) return PendingInstalls::kUnknown;
  if (clockMs_ >= pendingUntilMs_) return PendingInstalls::kNone;
  const std::uint64_t left = pendingUntilMs_ - clockMs_;
  waitedMs = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, timeoutMs));
  clockMs_ += waitedMs;
  return left <= timeoutMs ? PendingInstalls::kNone : PendingInstalls::kStillPending;
}

void SimulatedMachine::SetNonInteractiveInstalls() {
  std::lock_guard lock(mutex_);
  Record("SetNonInteractiveInstalls");
}

bool SimulatedMachine::UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                                    std::uint32_t installFlags, bool* restartNeeded) {
  std::lock_guard lock(mutex_);
  Record("UpdateDriver", {hardwareId, infPath}, {installFlags, restartNeeded != nullptr ? 1u : 0u});
  if (restartNeeded != nullptr) *restartNeeded = false;
  if (Injected(sim_error::kAccessDenied)) return false;
  std::uint32_t error = 0;
  if (!NamesAFile(infPath)) {
    error = sim_error::kFileNotFound;
  } else if (!PrinterAttached()) {
    error = sim_error::kNoSuchDevinst;
  } else if (clockMs_ < pendingUntilMs_) {
    error = sim_error::kDeviceInstallerNotReady;
  } else if (failingUpdates_ > 0) {
    --failingUpdates_;
    error = failingUpdateError_;
  } else if (!updateSucceeds_) {
    error = updateError_;
  }
  if (error != 0) {
    SetError(error);
    return false;
  }
  ++updatesDone_;
  if (!firstUpdateMs_) firstUpdateMs_ = clockMs_;
  if (restartNeeded != nullptr) *restartNeeded = updateNeedsRestart_;
  return true;
}

int SimulatedMachine::SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                                      std::string* storedName) {
  std::lock_guard lock(mutex_);
  if (storedName != nullptr) storedName->clear();
  Record("SetupCopyOemInf", {infPath}, {mediaType, copyStyle});
  if (Injected(sim_error::kAccessDenied)) return 0;
  if (!NamesAFile(infPath)) {
    SetError(sim_error::kFileNotFound);
    return 0;
  }
  SetError(copyOemInfError_);  // always: whatever an earlier call left is gone
  if (copyOemInfResult_ == 1) {
    ++infsStored_;
    std::ifstream in(ResolveLocked(infPath), std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto [at, added] = store_.try_emplace(content, "oem" + std::to_string(nextStoredInf_) + ".inf");
    if (added) ++nextStoredInf_;
    storeOrigins_[at->second] = ResolveLocked(infPath).filename().string();
    if (storedName != nullptr) *storedName = at->second;
  }
  return copyOemInfResult_;
}

bool SimulatedMachine::RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) {
  std::lock_guard lock(mutex_);
  Record("RemoveStoredDriver", {storedInf}, {force ? 1u : 0u});
  removal = StoreRemoval{};
  if (Injected(sim_error::kAccessDenied)) return false;
  removal.how = force ? "SetupUninstallOEMInfW, forced" : "SetupUninstallOEMInfW";
  for (auto it = store_.begin(); it != store_.end(); ++it) {
    if (NamesEqualIgnoreCase(it->second, storedInf)) {
      storeOrigins_.erase(it->second);
      store_.erase(it);
      removal.restartNeeded = storeRemovalNeedsRestart_;
      return true;
    }
  }
  SetError(sim_error::kFileNotFound);
  return false;
}

bool SimulatedMachine::StoredInfOrigin(const std::string& storedInf, std::string& originalName) {
  std::lock_guard lock(mutex_);
  Record("StoredInfOrigin", {storedInf});
  originalName.clear();
  if (Injected(sim_error::kAccessDenied)) return false;
  for (const auto& [stored, origin] : storeOrigins_) {
    if (!NamesEqualIgnoreCase(stored, storedInf)) continue;
    originalName = origin;
    return true;
  }
  SetError(sim_error::kFileNotFound);
  return false;
}

}  // namespace vornell
