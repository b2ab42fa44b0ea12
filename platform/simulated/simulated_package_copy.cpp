// The simulated machine's verified copies, folders, renames, the list of
// deletions at the next restart and the driver store's record of origins.
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/gbk.h"
#include "platform/sha256.h"
#include "platform/simulated/simulated_machine.h"

namespace vornell {

namespace fs = std::filesystem;

namespace {
constexpr std::uint32_t kDirNotEmpty = 145;
constexpr char kRenamedMark[] = ".vornell-removed-";

FileDigest DigestOf(const std::string& content) {
  Sha256 hash;
  hash.Add(content.data(), content.size());
  return FileDigest{content.size(), hash.HexDigest()};
}
}  // namespace

// ----- scripting -----

void SimulatedMachine::HoldFile(const std::string& path, int times) {
  std::lock_guard lock(mutex_);
  heldFiles_[SimulatedFileKey(ResolveLocked(path))] = times;
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

void SimulatedMachine::SetStoredInfOrigin(std::string storedInf, std::string originalName) {
  std::lock_guard lock(mutex_);
  storeOrigins_[std::move(storedInf)] = std::move(originalName);
}

void SimulatedMachine::MarkQueuePendingDeletion(const std::string& queue, bool pending) {
  std::lock_guard lock(mutex_);
  for (Printer& p : printers_) {
    if (NamesEqualIgnoreCase(p.name, queue)) p.pendingDeletion = pending;
  }
}

void SimulatedMachine::SetDefaultPrinterName(std::string name) {
  std::lock_guard lock(mutex_);
  defaultPrinter_ = std::move(name);
}

std::string SimulatedMachine::DefaultPrinterName() const {
  std::lock_guard lock(mutex_);
  return defaultPrinter_;
}

void SimulatedMachine::HoldDriverInSpooler(int times) {
  std::lock_guard lock(mutex_);
  spoolerHoldsDriver_ = times;
}

// ----- helpers (called with the lock held) -----

bool SimulatedMachine::ReadWholeLocked(const std::string& from, std::string& content) {
  const fs::path source = ResolveLocked(from);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(source, error);
  if (!fs::exists(status)) {
    SetError(fs::is_directory(source.parent_path(), error) ? sim_error::kFileNotFound : sim_error::kPathNotFound);
    return false;
  }
  if (!fs::is_regular_file(status)) {
    SetError(kErrorBadFileType);
    return false;
  }
  if (auto held = heldFiles_.find(SimulatedFileKey(source)); held != heldFiles_.end() && held->second > 0) {
    --held->second;
    SetError(kErrorSharingViolation);
    return false;
  }
  std::ifstream in(source, std::ios::binary);
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::string SimulatedMachine::ScheduleRenamedLocked(const fs::path& file) {
  fs::path renamed = file;
  renamed += kRenamedMark + std::to_string(++renamedFiles_);
  std::error_code error;
  fs::rename(file, renamed, error);
  std::string path = renamed.string();
  pendingRemovals_.push_back(path);
  return path;
}

// ----- Services -----

bool SimulatedMachine::RemoveFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("RemoveFolder", {path});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path folder = ResolveLocked(path);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  if (!fs::is_empty(folder, error)) {
    SetError(kDirNotEmpty);
    return false;
  }
  fs::remove(folder, error);
  return true;
}

bool SimulatedMachine::MoveFileTo(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  Record("MoveFileTo", {from, to});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path source = ResolveLocked(from);
  const fs::path target = ResolveLocked(to);
  std::error_code error;
  if (!fs::is_regular_file(source, error)) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  const std::uint32_t targetAttributes = AttributesOf(target);
  if (targetAttributes != kInvalidFileAttributes &&
      ((targetAttributes & kFileAttributeDirectory) != 0 || (targetAttributes & kFileAttributeReadOnly) != 0)) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  fs::rename(source, target, error);
  if (error) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  attributes_.erase(SimulatedFileKey(target));
  if (auto kept = attributes_.find(SimulatedFileKey(source)); kept != attributes_.end()) {
    attributes_[SimulatedFileKey(target)] = kept->second;
    attributes_.erase(kept);
  }
  return true;
}

bool SimulatedMachine::CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) {
  std::lock_guard lock(mutex_);
  Record("CopyVerifiedFile", {from, to});
  digest = FileDigest{};
  if (Injected(sim_error::kAccessDenied)) return false;
  std::string content;
  if (!ReadWholeLocked(from, content)) return false;
  const fs::path target = ResolveLocked(to);
  std::error_code error;
  if (!fs::is_directory(target.parent_path(), error)) {
    SetError(sim_error::kPathNotFound);
    return false;
  }
  if (fs::is_directory(target, error)) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  std::ofstream(target, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                  static_cast<std::streamsize>(content.size()));
  // Written anew: none of the source's attributes come along.
  attributes_.erase(SimulatedFileKey(target));
  digest = DigestOf(content);
  return true;
}

bool SimulatedMachine::HashFile(const std::string& path, FileDigest& digest) {
  std::lock_guard lock(mutex_);
  Record("HashFile", {path});
  digest = FileDigest{};
  if (Injected(sim_error::kAccessDenied)) return false;
  std::string content;
  if (!ReadWholeLocked(path, content)) return false;
  digest = DigestOf(content);
  return true;
}

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

bool SimulatedMachine::DefaultPrinter(std::string& name) {
  std::lock_guard lock(mutex_);
  Record("DefaultPrinter");
  name.clear();
  if (Injected(sim_error::kRpcServerUnavailable)) return false;
  if (defaultPrinter_.empty()) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  name = defaultPrinter_;
  return true;
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
