// The simulated machine's side of the program's own installation: its copy
// under Program Files, the Apps & features entry, the install record and
// the deletions scheduled for the next restart.
#include "platform/simulated/simulated_machine.h"

#include <string>
#include <system_error>
#include <utility>

namespace vornell {

namespace fs = std::filesystem;

// ----- scripting -----

void SimulatedMachine::SetProgramCopy(bool present, bool running) {
  std::lock_guard lock(mutex_);
  programCopy_ = present;
  runningFromCopy_ = running;
  copyAtRestart_ = false;
}

bool SimulatedMachine::HasProgramCopy() const {
  std::lock_guard lock(mutex_);
  return programCopy_;
}

bool SimulatedMachine::CopyGoesAtRestart() const {
  std::lock_guard lock(mutex_);
  return copyAtRestart_;
}

void SimulatedMachine::SetAppsEntry(std::optional<AppsEntry> entry) {
  std::lock_guard lock(mutex_);
  appsEntry_ = std::move(entry);
}

std::optional<AppsEntry> SimulatedMachine::Entry() const {
  std::lock_guard lock(mutex_);
  return appsEntry_;
}

void SimulatedMachine::SetInstallRecord(std::optional<InstallRecord> record) {
  std::lock_guard lock(mutex_);
  installRecord_ = std::move(record);
}

std::optional<InstallRecord> SimulatedMachine::InstallRecordNow() const {
  std::lock_guard lock(mutex_);
  return installRecord_;
}

std::vector<std::string> SimulatedMachine::PendingRemovals() const {
  std::lock_guard lock(mutex_);
  return pendingRemovals_;
}

void SimulatedMachine::AddForeignPendingRemoval(std::string path) {
  std::lock_guard lock(mutex_);
  foreignPendingRemovals_.insert(path);
  pendingRemovals_.push_back(std::move(path));
}

// ----- Services -----

bool SimulatedMachine::ProgramFolder(std::string& folder) {
  std::lock_guard lock(mutex_);
  Record("ProgramFolder");
  folder.clear();
  if (Injected(sim_error::kPathNotFound)) return false;
  // Without a folder of the test's, the name would resolve against the
  // test runner's own current directory.
  if (currentFolder_.empty()) {
    SetError(sim_error::kPathNotFound);
    return false;
  }
  folder = kProgramFolder;
  // Every Windows has Program Files; what is below it is the program's to make.
  std::error_code error;
  fs::create_directories(ResolveLocked(folder).parent_path().parent_path(), error);
  return true;
}

bool SimulatedMachine::ClearPendingRemovals(std::uint32_t& cleared) {
  std::lock_guard lock(mutex_);
  Record("ClearPendingRemovals");
  cleared = 0;
  if (Injected(sim_error::kAccessDenied)) return false;
  std::vector<std::string> kept;
  for (std::string& path : pendingRemovals_) {
    if (foreignPendingRemovals_.count(path) != 0) {
      kept.push_back(std::move(path));
    } else {
      ++cleared;
    }
  }
  pendingRemovals_ = std::move(kept);
  return true;
}

bool SimulatedMachine::InstallProgramCopy(std::string& copyPath) {
  std::lock_guard lock(mutex_);
  Record("InstallProgramCopy");
  copyPath.clear();
  if (Injected(sim_error::kAccessDenied)) return false;
  programCopy_ = true;
  copyPath = kProgramCopy;
  return true;
}

bool SimulatedMachine::RemoveProgramCopy(bool& atRestart) {
  std::lock_guard lock(mutex_);
  Record("RemoveProgramCopy");
  atRestart = false;
  if (Injected(sim_error::kAccessDenied)) return false;
  if (programCopy_ && runningFromCopy_) {
    atRestart = copyAtRestart_ = true;
    pendingRemovals_.push_back(std::string(kProgramCopy) + ".vornell-removed-" + std::to_string(++renamedFiles_));
    return true;
  }
  programCopy_ = false;
  return true;
}

bool SimulatedMachine::WriteAppsEntry(const AppsEntry& entry) {
  std::lock_guard lock(mutex_);
  Record("WriteAppsEntry", {entry.programCopy}, {entry.estimatedSizeKb});
  if (Injected(sim_error::kAccessDenied)) return false;
  appsEntry_ = entry;
  return true;
}

bool SimulatedMachine::ReadAppsEntry(AppsEntry& entry) {
  std::lock_guard lock(mutex_);
  Record("ReadAppsEntry");
  entry = AppsEntry{};
  if (Injected(sim_error::kAccessDenied)) return false;
  if (!appsEntry_) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  entry = *appsEntry_;
  return true;
}

bool SimulatedMachine::ReadInstallRecord(InstallRecord& record) {
  std::lock_guard lock(mutex_);
  Record("ReadInstallRecord");
  record = InstallRecord{};
  if (Injected(sim_error::kAccessDenied)) return false;
  if (!installRecord_) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  record = *installRecord_;
  return true;
}

bool SimulatedMachine::WriteInstallRecord(const InstallRecord& record) {
  std::lock_guard lock(mutex_);
  Record("WriteInstallRecord", {record.queueName, record.driverName, record.storedInf},
         {static_cast<std::uint64_t>(record.owner)});
  if (Injected(sim_error::kAccessDenied)) return false;
  // The owner is written only when it is the program; Windows Installer's stays.
  const InstallOwner owner = record.owner == InstallOwner::kProgram ? InstallOwner::kProgram
                             : installRecord_                       ? installRecord_->owner
                                                                    : InstallOwner::kNone;
  installRecord_ = record;
  installRecord_->owner = owner;
  return true;
}

bool SimulatedMachine::DeleteInstallRecord() {
  std::lock_guard lock(mutex_);
  Record("DeleteInstallRecord");
  if (Injected(sim_error::kAccessDenied)) return false;
  if (!installRecord_) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  if (installRecord_->owner == InstallOwner::kWindowsInstaller) {
    installRecord_ = InstallRecord{InstallOwner::kWindowsInstaller, {}, {}, {}};
  } else {
    installRecord_.reset();
  }
  return true;
}

bool SimulatedMachine::DeleteAppsEntry() {
  std::lock_guard lock(mutex_);
  Record("DeleteAppsEntry");
  if (Injected(sim_error::kAccessDenied)) return false;
  if (!appsEntry_) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  appsEntry_.reset();
  return true;
}

}  // namespace vornell
