// The simulated machine's answers about the running process: its bitness,
// the processor, entering the program's folder, and the virtual clock.
#include "platform/simulated/simulated_machine.h"

#include <utility>

namespace vornell {

namespace fs = std::filesystem;

// ----- scripting -----

void SimulatedMachine::SetWow64(std::optional<bool> isWow64) {
  std::lock_guard lock(mutex_);
  wow64_ = isWow64;
}

void SimulatedMachine::SetNativeMachine(std::optional<std::uint16_t> machine) {
  std::lock_guard lock(mutex_);
  nativeMachine_ = machine;
}

void SimulatedMachine::SetProgramFolder(fs::path folder) {
  std::lock_guard lock(mutex_);
  programFolder_ = std::move(folder);
}

// ----- Services -----

bool SimulatedMachine::QueryIsWow64Process(bool& isWow64) {
  std::lock_guard lock(mutex_);
  Record("QueryIsWow64Process");
  if (Injected(sim_error::kProcNotFound)) return false;
  if (!wow64_) return false;  // no such query: the caller's flag stays as it was
  isWow64 = *wow64_;
  return true;
}

bool SimulatedMachine::QueryNativeMachine(std::uint16_t& machine) {
  std::lock_guard lock(mutex_);
  Record("QueryNativeMachine");
  if (Injected(sim_error::kProcNotFound)) return false;
  if (!nativeMachine_) {
    SetError(sim_error::kProcNotFound);
    return false;
  }
  machine = *nativeMachine_;
  return true;
}

bool SimulatedMachine::EnterProgramFolder() {
  std::lock_guard lock(mutex_);
  Record("EnterProgramFolder");
  if (Injected(sim_error::kAccessDenied)) return false;
  if (!programFolder_.empty()) currentFolder_ = programFolder_;
  return true;
}

void SimulatedMachine::Sleep(std::uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  Record("Sleep", {}, {milliseconds});
  clockMs_ += milliseconds;
  sleeps_.push_back(milliseconds);
}

std::uint64_t SimulatedMachine::TickCountMs() {
  std::lock_guard lock(mutex_);
  return clockMs_;
}

}  // namespace vornell
