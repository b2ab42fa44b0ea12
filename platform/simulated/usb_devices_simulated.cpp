// The simulated machine's USB devices: device sets, each a snapshot of the
// attached devices when it was made, and the arrival notifications.
#include "platform/simulated/simulated_machine.h"

#include <cstring>
#include <utility>

#include "platform/simulated/simulated_internal.h"

namespace vornell {

using sim_internal::HandleOf;
using sim_internal::IdOf;

// ----- scripting -----

void SimulatedMachine::SetUsbDevicePaths(std::vector<std::string> paths) {
  std::lock_guard lock(mutex_);
  usbPaths_ = std::move(paths);
}

void SimulatedMachine::RefuseDeviceSet(bool refuse) {
  std::lock_guard lock(mutex_);
  refuseDeviceSet_ = refuse;
}

void SimulatedMachine::FailEnumAt(std::uint32_t index, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  enumFailures_[index] = error;
}

void SimulatedMachine::FailDetailAt(std::uint32_t index, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  detailFailures_[index] = error;
}

// ----- helpers (called with the lock held) -----

SimulatedMachine::DeviceSetState* SimulatedMachine::FindSet(DeviceSet set) {
  const auto found = deviceSets_.find(IdOf(set));
  if (found == deviceSets_.end()) {
    ++badHandleUses_;
    SetError(sim_error::kInvalidHandle);
    return nullptr;
  }
  return &found->second;
}

// ----- Services -----

void* SimulatedMachine::RegisterUsbDeviceNotification(void* window) {
  std::lock_guard lock(mutex_);
  Record("RegisterUsbDeviceNotification", {}, {IdOf(window)});
  return HandleOf(nextHandle_++);
}

void SimulatedMachine::UnregisterUsbDeviceNotification(void* registration) {
  std::lock_guard lock(mutex_);
  Record("UnregisterUsbDeviceNotification", {}, {IdOf(registration)});
}

DeviceSet SimulatedMachine::GetUsbDeviceSet(std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  Record("GetUsbDeviceSet", {}, {flags});
  if (Injected(sim_error::kNotEnoughMemory)) return nullptr;
  if (refuseDeviceSet_) {
    SetError(sim_error::kInvalidParameter);
    return nullptr;
  }
  DeviceSetState state;
  // Without the interface flag the GUID names a setup class: no interfaces.
  if ((flags & kDigcfDeviceInterface) != 0) state.paths = usbPaths_;
  const std::uintptr_t id = nextHandle_++;
  deviceSets_.emplace(id, std::move(state));
  return HandleOf(id);
}

bool SimulatedMachine::EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) {
  std::lock_guard lock(mutex_);
  Record("EnumUsbDeviceInterface", {}, {index});
  if (Injected(sim_error::kNotEnoughMemory)) return false;
  DeviceSetState* state = FindSet(set);
  if (state == nullptr) return false;
  for (const auto& [failingIndex, error] : enumFailures_) {
    if (index >= failingIndex) {
      SetError(error);
      return false;
    }
  }
  if (index >= state->paths.size()) {
    SetError(sim_error::kNoMoreItems);
    return false;
  }
  return true;
}

bool SimulatedMachine::GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                                 std::size_t pathSize) {
  std::lock_guard lock(mutex_);
  Record("GetUsbDeviceInterfacePath", {}, {index, pathSize});
  if (Injected(sim_error::kNotEnoughMemory)) return false;
  DeviceSetState* state = FindSet(set);
  if (state == nullptr) return false;
  if (index >= state->paths.size()) {
    SetError(sim_error::kNoMoreItems);
    return false;
  }
  if (const auto failure = detailFailures_.find(index); failure != detailFailures_.end()) {
    SetError(failure->second);
    return false;
  }
  const std::string& text = state->paths[index];
  if (path == nullptr) {
    SetError(sim_error::kInvalidUserBuffer);
    return false;
  }
  if (text.size() + 1 > pathSize) {
    SetError(sim_error::kInsufficientBuffer);
    return false;
  }
  std::memcpy(path, text.c_str(), text.size() + 1);
  return true;
}

void SimulatedMachine::DestroyDeviceSet(DeviceSet set) {
  std::lock_guard lock(mutex_);
  Record("DestroyDeviceSet");
  if (FindSet(set) != nullptr) deviceSets_.erase(IdOf(set));
}

}  // namespace vornell
