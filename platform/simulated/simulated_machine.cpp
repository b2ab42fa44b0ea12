// The simulated machine's shared part: the call record, the last error, the
// injected failures, the resolution of Windows paths and the readers of what
// happened. Each concern's calls live in a file of their own (*_simulated.cpp).
#include "platform/simulated/simulated_machine.h"

#include "platform/gbk.h"
#include "platform/simulated/simulated_internal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <utility>

#include <unistd.h>

namespace vornell {

namespace fs = std::filesystem;

// One spelling per file, for the tables kept by path.
std::string SimulatedFileKey(const fs::path& file) {
  std::string key = file.lexically_normal().string();
  while (key.size() > 1 && key.back() == '/') key.pop_back();
  return key;
}

namespace sim_internal {

// Windows separators to POSIX ones, a character at a time: the second byte
// of a GBK character may be 0x5C and is part of the name, not a separator.
std::string ToPosixSeparators(std::string_view path) {
  std::string text(path);
  for (std::size_t i = 0; i < text.size(); i += GbkCharacterBytes(text, i)) {
    if (text[i] == '\\') text[i] = '/';
  }
  return text;
}

}  // namespace sim_internal

using sim_internal::ToPosixSeparators;

namespace {

// Relative paths resolve here until a test chooses a current folder, so a
// test that forgot to choose one finds nothing instead of the process's cwd.
const char kNoCurrentFolder[] = "/nonexistent-vornell-current-folder";

}  // namespace

// ----- ScopedTempFolder -----

ScopedTempFolder::ScopedTempFolder() {
  std::string name = (fs::temp_directory_path() / "vornell-XXXXXX").string();
  if (mkdtemp(name.data()) == nullptr) std::abort();  // a test cannot run without it
  path_ = name;
}

ScopedTempFolder::~ScopedTempFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

fs::path ScopedTempFolder::MakeFolder(const fs::path& relative) const {
  fs::path folder = path_ / relative;
  fs::create_directories(folder);
  return folder;
}

fs::path ScopedTempFolder::WriteFile(const fs::path& relative, std::string_view content) const {
  fs::path file = path_ / relative;
  fs::create_directories(file.parent_path());
  FILE* out = std::fopen(file.c_str(), "wb");
  if (out == nullptr) std::abort();
  std::fwrite(content.data(), 1, content.size(), out);
  std::fclose(out);
  return file;
}

// ----- SimulatedMachine -----

SimulatedMachine::SimulatedMachine()
    : driverDirectory_("C:\\Windows\\System32\\spool\\DRIVERS\\x64"),
      currentFolder_(kNoCurrentFolder) {}

SimulatedMachine::~SimulatedMachine() {
  for (void* block : liveBlocks_) std::free(block);
}

// ----- scripting shared by all -----

void SimulatedMachine::SetLastErrorValue(std::uint32_t error) {
  std::lock_guard lock(mutex_);
  SetError(error);
}

void SimulatedMachine::FailCallAt(std::size_t call) {
  std::lock_guard lock(mutex_);
  failAtCall_ = call;
  failableCalls_ = 0;
  injected_.reset();
}

void SimulatedMachine::FailOperation(std::string operation, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  failingOperations_[std::move(operation)] = error;
}

void SimulatedMachine::SetCurrentFolder(fs::path folder) {
  std::lock_guard lock(mutex_);
  driveRoot_ = folder;
  currentFolder_ = std::move(folder);
}

// ----- SimulatedMachine: what happened -----

std::vector<SimulatedCall> SimulatedMachine::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<SimulatedCall> SimulatedMachine::CallsOf(std::string_view operation) const {
  std::lock_guard lock(mutex_);
  std::vector<SimulatedCall> found;
  for (const SimulatedCall& call : calls_) {
    if (call.operation == operation) found.push_back(call);
  }
  return found;
}

std::size_t SimulatedMachine::CountOf(std::string_view operation) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [&](const SimulatedCall& c) { return c.operation == operation; }));
}

std::vector<std::string> SimulatedMachine::Operations(const std::set<std::string>& only) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const SimulatedCall& call : calls_) {
    if (only.empty() || only.count(call.operation) != 0) names.push_back(call.operation);
  }
  return names;
}

void SimulatedMachine::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

std::uint64_t SimulatedMachine::NowMs() const {
  std::lock_guard lock(mutex_);
  return clockMs_;
}

std::vector<std::uint32_t> SimulatedMachine::Sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

std::size_t SimulatedMachine::LiveAllocations() const {
  std::lock_guard lock(mutex_);
  return liveBlocks_.size();
}

std::size_t SimulatedMachine::BadFrees() const {
  std::lock_guard lock(mutex_);
  return badFrees_;
}

std::size_t SimulatedMachine::LiveDeviceSets() const {
  std::lock_guard lock(mutex_);
  return deviceSets_.size();
}

std::size_t SimulatedMachine::OpenFindWalks() const {
  std::lock_guard lock(mutex_);
  return walks_.size();
}

std::size_t SimulatedMachine::FailableCalls() const {
  std::lock_guard lock(mutex_);
  return failableCalls_;
}

std::optional<InjectedFailure> SimulatedMachine::Injection() const {
  std::lock_guard lock(mutex_);
  return injected_;
}

int SimulatedMachine::DriverUpdatesDone() const {
  std::lock_guard lock(mutex_);
  return updatesDone_;
}

int SimulatedMachine::InfsStored() const {
  std::lock_guard lock(mutex_);
  return infsStored_;
}

std::size_t SimulatedMachine::BadHandleUses() const {
  std::lock_guard lock(mutex_);
  return badHandleUses_;
}

fs::path SimulatedMachine::Resolve(std::string_view path) const {
  std::lock_guard lock(mutex_);
  return ResolveLocked(path);
}

// ----- helpers (called with the lock held) -----

void SimulatedMachine::Record(std::string operation, std::vector<std::string> texts,
                              std::vector<std::uint64_t> numbers) {
  calls_.push_back(SimulatedCall{std::move(operation), std::move(texts), std::move(numbers)});
}

void SimulatedMachine::SetError(std::uint32_t error) { lastErrors_[std::this_thread::get_id()] = error; }

bool SimulatedMachine::Injected(std::uint32_t error) {
  if (const auto scripted = failingOperations_.find(calls_.back().operation); scripted != failingOperations_.end()) {
    SetError(scripted->second);
    return true;
  }
  if (++failableCalls_ != failAtCall_) return false;
  SetError(error);
  const SimulatedCall& call = calls_.back();
  injected_ = InjectedFailure{call.operation, call.texts.empty() ? std::string() : call.texts[0], error};
  return true;
}

fs::path SimulatedMachine::ResolveLocked(std::string_view path) const {
  fs::path p(ToPosixSeparators(path));
  // A drive's path ("C:\\Program Files") names the same place whatever the
  // current folder is now.
  const bool onDrive = path.size() >= 2 && path[1] == ':';
  const fs::path& base = onDrive && !driveRoot_.empty() ? driveRoot_ : currentFolder_;
  const fs::path spelled = p.is_absolute() ? p.lexically_normal() : (base / p).lexically_normal();
  // Windows finds a name whatever its letter case: each part that is not
  // there as spelled takes the spelling of an entry that matches it so.
  // A part with no match keeps its spelling (a file about to be made).
  fs::path found;
  bool walking = true;
  for (const fs::path& part : spelled) {
    fs::path next = found / part;
    std::error_code error;
    if (walking && !part.has_root_path() && !fs::exists(next, error)) {
      bool matched = false;
      for (const fs::directory_entry& entry : fs::directory_iterator(found, error)) {
        const std::string name = entry.path().filename().string();
        if (NamesEqualIgnoreCase(name, part.string())) {
          next = found / name;
          matched = true;
          break;
        }
      }
      walking = matched;
    }
    found = std::move(next);
  }
  return found;
}

// ----- Services: system errors -----

std::uint32_t SimulatedMachine::LastError() {
  std::lock_guard lock(mutex_);
  const std::uint32_t error = lastErrors_[std::this_thread::get_id()];
  Record("LastError", {}, {error});
  return error;
}

std::string SimulatedMachine::ErrorMessage(std::uint32_t code) {
  // Windows' English texts of the codes the machine leaves.
  static const std::map<std::uint32_t, const char*> kTexts = {
      {0, "The operation completed successfully."},
      {sim_error::kFileNotFound, "The system cannot find the file specified."},
      {sim_error::kPathNotFound, "The system cannot find the path specified."},
      {sim_error::kAccessDenied, "Access is denied."},
      {sim_error::kInvalidHandle, "The handle is invalid."},
      {sim_error::kNotEnoughMemory,
       "Not enough memory resources are available to process this command."},
      {sim_error::kNoMoreFiles, "There are no more files."},
      {sim_error::kFileExists, "The file exists."},
      {sim_error::kInvalidParameter, "The parameter is incorrect."},
      {sim_error::kInsufficientBuffer, "The data area passed to a system call is too small."},
      {sim_error::kAlreadyExists, "Cannot create a file when that file already exists."},
      {sim_error::kNoMoreItems, "No more data is available."},
      {sim_error::kProcNotFound, "The specified procedure could not be found."},
      {sim_error::kRpcServerUnavailable, "The RPC server is unavailable."},
      {kErrorRequiresInteractive, "This operation requires an interactive window station."},
      {kErrorNoSuchDevinst, "The device instance does not exist."},
      {kErrorDeviceInstallerNotReady, "The device installer is not ready."},
      {kErrorDeviceInstallBlocked, "The installation of this device is forbidden by system policy."},
  };
  const auto found = kTexts.find(code);
  return found != kTexts.end() ? found->second : "Error " + std::to_string(code);
}

// The native build's own services: one machine for the process. Tests
// normally install a machine of their own with SetServices.
Services* DefaultServices() {
  static SimulatedMachine machine;
  return &machine;
}

}  // namespace vornell
