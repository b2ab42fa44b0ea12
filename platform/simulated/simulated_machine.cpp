#include "platform/simulated/simulated_machine.h"

#include "platform/gbk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
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

namespace {

// Windows separators to POSIX ones, a character at a time: the second byte
// of a GBK character may be 0x5C and is part of the name, not a separator.
std::string ToPosixSeparators(std::string_view path) {
  std::string text(path);
  for (std::size_t i = 0; i < text.size(); i += GbkCharacterBytes(text, i)) {
    if (text[i] == '\\') text[i] = '/';
  }
  return text;
}

// Relative paths resolve here until a test chooses a current folder, so a
// test that forgot to choose one finds nothing instead of the process's cwd.
const char kNoCurrentFolder[] = "/nonexistent-vornell-current-folder";

char Capital(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows wildcard match: '*' any run, '?' one character, letters ignoring case.
bool MaskMatches(std::string_view mask, std::string_view name) {
  if (mask == "*.*") mask = "*";  // the old meaning: every name, with a dot or not
  std::size_t m = 0, n = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Capital(mask[m]) == Capital(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::string AttributeKey(const fs::path& file) { return SimulatedFileKey(file); }

void* HandleOf(std::uintptr_t id) { return reinterpret_cast<void*>(id); }
std::uintptr_t IdOf(void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

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

// ----- SimulatedMachine: scripting -----

SimulatedMachine::SimulatedMachine()
    : driverDirectory_("C:\\Windows\\System32\\spool\\DRIVERS\\x64"),
      currentFolder_(kNoCurrentFolder) {}

SimulatedMachine::~SimulatedMachine() {
  for (void* block : liveBlocks_) std::free(block);
}

void SimulatedMachine::SetWow64(std::optional<bool> isWow64) {
  std::lock_guard lock(mutex_);
  wow64_ = isWow64;
}

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

void SimulatedMachine::SetLastErrorValue(std::uint32_t error) {
  std::lock_guard lock(mutex_);
  SetError(error);
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

void SimulatedMachine::FailWalkAfter(std::size_t entries, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  walkFailsAfter_ = entries;
  walkError_ = error;
}

void SimulatedMachine::FailCallAt(std::size_t call) {
  std::lock_guard lock(mutex_);
  failAtCall_ = call;
  failableCalls_ = 0;
  injected_.reset();
}

void SimulatedMachine::SetDriverDirectory(std::string path) {
  std::lock_guard lock(mutex_);
  driverDirectory_ = std::move(path);
  driverDirectoryFails_ = false;
}

void SimulatedMachine::FailDriverDirectory(std::string garbage, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  driverDirectoryFails_ = true;
  driverDirectoryGarbage_ = std::move(garbage);
  driverDirectoryError_ = error;
}

void SimulatedMachine::AddPrinter(std::string name, std::string driver) {
  std::lock_guard lock(mutex_);
  Printer printer{std::move(name)};
  printer.driver = std::move(driver);
  printers_.push_back(std::move(printer));
}

void SimulatedMachine::AddPrinterDriver(std::string name, std::vector<std::string> files) {
  std::lock_guard lock(mutex_);
  drivers_[std::move(name)] = std::move(files);
}

std::vector<std::string> SimulatedMachine::PrinterDrivers() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, files] : drivers_) names.push_back(name);
  return names;
}

std::vector<std::string> SimulatedMachine::QueueNames() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const Printer& p : printers_) names.push_back(p.name);
  return names;
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

void SimulatedMachine::SetFileInUse(const std::string& path) {
  std::lock_guard lock(mutex_);
  filesInUse_.insert(AttributeKey(ResolveLocked(path)));
}

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

void SimulatedMachine::FailOperation(std::string operation, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  failingOperations_[std::move(operation)] = error;
}

void SimulatedMachine::AddPrinterAtTime(std::string name, std::uint64_t ms) {
  std::lock_guard lock(mutex_);
  Printer printer{std::move(name)};
  printer.atMs = ms;
  printers_.push_back(std::move(printer));
}

void SimulatedMachine::AddPrinterAfterUpdate(std::string name, std::uint64_t delayMs) {
  std::lock_guard lock(mutex_);
  Printer printer{std::move(name)};
  printer.afterUpdateMs = delayMs;
  printers_.push_back(std::move(printer));
}

void SimulatedMachine::AddPrinterAfterEnumerations(std::string name, int n) {
  std::lock_guard lock(mutex_);
  Printer printer{std::move(name)};
  printer.afterEnumerations = n;
  printers_.push_back(std::move(printer));
}

void SimulatedMachine::AddPrinterBetweenSizeAndFill(std::string name, int k) {
  std::lock_guard lock(mutex_);
  Printer printer{std::move(name)};
  printer.growsAtSizeCall = k;
  printers_.push_back(std::move(printer));
}

void SimulatedMachine::FailAllocation(int n) {
  std::lock_guard lock(mutex_);
  failingAllocations_.insert(n);
}

void SimulatedMachine::FailAllAllocations(bool fail) {
  std::lock_guard lock(mutex_);
  failAllAllocations_ = fail;
}

void SimulatedMachine::SetStartResults(std::vector<std::uint32_t> results) {
  std::lock_guard lock(mutex_);
  startResults_ = std::move(results);
}

void SimulatedMachine::SetDefaultStartResult(std::uint32_t result) {
  std::lock_guard lock(mutex_);
  defaultStartResult_ = result;
}

void SimulatedMachine::SetCurrentFolder(fs::path folder) {
  std::lock_guard lock(mutex_);
  driveRoot_ = folder;
  currentFolder_ = std::move(folder);
}

void SimulatedMachine::SetProgramFolder(fs::path folder) {
  std::lock_guard lock(mutex_);
  programFolder_ = std::move(folder);
}

void SimulatedMachine::LetOthersWrite(const std::string& path, std::string reason) {
  std::lock_guard lock(mutex_);
  writableByOthers_[AttributeKey(ResolveLocked(path))] = std::move(reason);
}

void SimulatedMachine::SetCommandEnd(std::uint32_t runMs, std::uint32_t exitCode) {
  std::lock_guard lock(mutex_);
  commandRunMs_ = runMs;
  commandExitCode_ = exitCode;
}

void SimulatedMachine::FailCopyOf(std::string fileName, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  copyFailures_[std::move(fileName)] = error;
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

std::vector<std::string> SimulatedMachine::ListedPrinters(bool inFill) const {
  std::vector<std::string> names;
  for (const Printer& p : printers_) {
    if (clockMs_ < p.atMs) continue;
    if (p.afterUpdateMs && (!firstUpdateMs_ || clockMs_ < *firstUpdateMs_ + *p.afterUpdateMs)) continue;
    if (sizeCalls_ <= p.afterEnumerations) continue;
    if (p.growsAtSizeCall != 0 &&
        (inFill ? sizeCalls_ < p.growsAtSizeCall : sizeCalls_ <= p.growsAtSizeCall)) {
      continue;
    }
    names.push_back(p.name);
  }
  return names;
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

std::uint32_t SimulatedMachine::AttributesOf(const fs::path& file) const {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (error || !fs::exists(status)) return kInvalidFileAttributes;
  const auto kept = attributes_.find(AttributeKey(file));
  if (fs::is_directory(status)) {
    std::uint32_t bits = kFileAttributeDirectory;
    if (kept != attributes_.end()) bits |= kept->second & ~kFileAttributeNormal;
    return bits;
  }
  // A file made on Windows carries the archive attribute.
  return kept != attributes_.end() ? kept->second : kFileAttributeArchive;
}

SimulatedMachine::DeviceSetState* SimulatedMachine::FindSet(DeviceSet set) {
  const auto found = deviceSets_.find(IdOf(set));
  if (found == deviceSets_.end()) {
    ++badHandleUses_;
    SetError(sim_error::kInvalidHandle);
    return nullptr;
  }
  return &found->second;
}

// ----- Services: process, window, devices -----

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

void SimulatedMachine::SetNativeMachine(std::optional<std::uint16_t> machine) {
  std::lock_guard lock(mutex_);
  nativeMachine_ = machine;
}

void* SimulatedMachine::RegisterUsbDeviceNotification(void* window) {
  std::lock_guard lock(mutex_);
  Record("RegisterUsbDeviceNotification", {}, {IdOf(window)});
  return HandleOf(nextHandle_++);
}

void SimulatedMachine::UnregisterUsbDeviceNotification(void* registration) {
  std::lock_guard lock(mutex_);
  Record("UnregisterUsbDeviceNotification", {}, {IdOf(registration)});
}

bool SimulatedMachine::EnterProgramFolder() {
  std::lock_guard lock(mutex_);
  Record("EnterProgramFolder");
  if (Injected(sim_error::kAccessDenied)) return false;
  if (!programFolder_.empty()) currentFolder_ = programFolder_;
  return true;
}

bool SimulatedMachine::OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) {
  std::lock_guard lock(mutex_);
  Record("OnlyAdministratorsMayWrite", {path});
  reason.clear();
  if (Injected(sim_error::kAccessDenied)) {
    reason = "its owner and access list could not be read";
    return false;
  }
  const auto found = writableByOthers_.find(AttributeKey(ResolveLocked(path)));
  if (found == writableByOthers_.end()) return true;
  reason = found->second;
  SetError(sim_error::kAccessDenied);
  return false;
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

// ----- Services: driver installation -----

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

void SimulatedMachine::SetUpdateNeedsRestart(bool needs) {
  std::lock_guard lock(mutex_);
  updateNeedsRestart_ = needs;
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

// ----- Services: spooler -----

bool SimulatedMachine::GetDriverDirectory(char* buffer, std::uint32_t bufferSize) {
  std::lock_guard lock(mutex_);
  Record("GetDriverDirectory", {}, {bufferSize});
  if (Injected(sim_error::kAccessDenied)) return false;
  if (buffer == nullptr) {
    SetError(sim_error::kInvalidUserBuffer);
    return false;
  }
  if (driverDirectoryFails_) {
    std::memcpy(buffer, driverDirectoryGarbage_.data(),
                std::min<std::size_t>(driverDirectoryGarbage_.size(), bufferSize));
    SetError(driverDirectoryError_);
    return false;
  }
  if (driverDirectory_.size() + 1 > bufferSize) {
    SetError(sim_error::kInsufficientBuffer);
    return false;
  }
  std::memcpy(buffer, driverDirectory_.c_str(), driverDirectory_.size() + 1);
  return true;
}

namespace {

std::uint32_t BytesFor(const std::vector<std::string>& names) {
  std::uint32_t bytes = 0;
  for (const std::string& name : names) {
    bytes += SimulatedMachine::kPrinterRecordBytes + static_cast<std::uint32_t>(name.size()) + 1;
  }
  return bytes;
}

}  // namespace

std::uint32_t SimulatedMachine::EnumPrintersNeeded(std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  ++sizeCalls_;
  Record("EnumPrintersNeeded", {}, {flags, 0});
  clockMs_ += enumerationMs_;
  if (Injected(sim_error::kRpcServerUnavailable)) return 0;
  std::vector<std::string> listed;
  if ((flags & kPrinterEnumLocal) != 0) listed = ListedPrinters(false);
  const std::uint32_t needed = BytesFor(listed);
  calls_.back().numbers[1] = needed;
  SetError(needed > 0 ? sim_error::kInsufficientBuffer : 0);
  return needed;
}

bool SimulatedMachine::EnumPrintersFill(std::uint32_t flags, void* buffer, std::uint32_t bufferSize,
                                        std::vector<std::string>& names) {
  std::lock_guard lock(mutex_);
  Record("EnumPrintersFill", {}, {flags, bufferSize});
  clockMs_ += enumerationMs_;
  if (Injected(sim_error::kRpcServerUnavailable)) return false;
  names.clear();
  std::vector<std::string> listed;
  if ((flags & kPrinterEnumLocal) != 0) listed = ListedPrinters(true);
  const std::uint32_t needed = BytesFor(listed);
  if (needed > bufferSize) {
    SetError(sim_error::kInsufficientBuffer);
    return false;
  }
  if (needed > 0 && buffer == nullptr) {
    SetError(sim_error::kInvalidUserBuffer);
    return false;
  }
  // Write every byte the records take, as the spooler does, so a buffer
  // shorter than the size the caller claims shows up under the sanitizers.
  auto* out = static_cast<unsigned char*>(buffer);
  const std::size_t recordBytes = std::size_t{kPrinterRecordBytes} * listed.size();
  if (recordBytes > 0) std::memset(out, 0, recordBytes);
  std::size_t at = recordBytes;
  for (const std::string& name : listed) {
    std::memcpy(out + at, name.c_str(), name.size() + 1);
    at += name.size() + 1;
  }
  names = std::move(listed);
  return true;
}

void* SimulatedMachine::AllocZeroed(std::size_t bytes) {
  std::lock_guard lock(mutex_);
  Record("AllocZeroed", {}, {bytes});
  const int call = ++allocationCalls_;
  if (Injected(sim_error::kNotEnoughMemory) || failAllAllocations_ || failingAllocations_.count(call) != 0) {
    SetError(sim_error::kNotEnoughMemory);
    return nullptr;
  }
  void* block = std::calloc(bytes == 0 ? 1 : bytes, 1);
  if (block == nullptr) {
    SetError(sim_error::kNotEnoughMemory);
    return nullptr;
  }
  liveBlocks_.insert(block);
  return block;
}

void SimulatedMachine::Free(void* block) {
  std::lock_guard lock(mutex_);
  Record("Free");
  if (block == nullptr) return;
  if (liveBlocks_.erase(block) == 0) {
    ++badFrees_;  // not ours, or freed twice: never hand it to free()
    return;
  }
  std::free(block);
}

namespace {
bool SameName(const std::string& a, const std::string& b) { return NamesEqualIgnoreCase(a, b); }
}  // namespace

std::vector<SimulatedMachine::Printer*> SimulatedMachine::ListedQueues() {
  std::vector<Printer*> queues;
  const std::vector<std::string> listed = ListedPrinters(false);
  for (Printer& p : printers_) {
    if (std::find(listed.begin(), listed.end(), p.name) != listed.end()) queues.push_back(&p);
  }
  return queues;
}

std::vector<std::string> SimulatedMachine::QueuesOfDriver(const std::string& driver, bool withPendingDeletion) {
  std::vector<std::string> names;
  for (const Printer* p : ListedQueues()) {
    if (p->pendingDeletion && !withPendingDeletion) continue;
    if (SameName(p->driver.empty() ? p->name : p->driver, driver)) names.push_back(p->name);
  }
  return names;
}

bool SimulatedMachine::QueueMarkedForDeletion(const std::string& queue, bool& marked) {
  std::lock_guard lock(mutex_);
  Record("QueueMarkedForDeletion", {queue});
  marked = false;
  if (Injected(sim_error::kAccessDenied)) return false;
  for (const Printer* p : ListedQueues()) {
    if (!SameName(p->name, queue)) continue;
    marked = p->pendingDeletion;
    return true;
  }
  SetError(kErrorInvalidPrinterName);
  return false;
}

bool SimulatedMachine::GetQueueDriver(const std::string& queue, std::string& driver) {
  std::lock_guard lock(mutex_);
  Record("GetQueueDriver", {queue});
  driver.clear();
  if (Injected(sim_error::kAccessDenied)) return false;
  for (const Printer* p : ListedQueues()) {
    if (!SameName(p->name, queue)) continue;
    driver = p->driver.empty() ? p->name : p->driver;
    return true;
  }
  SetError(kErrorInvalidPrinterName);
  return false;
}

bool SimulatedMachine::DeleteQueue(const std::string& queue) {
  std::lock_guard lock(mutex_);
  Record("DeleteQueue", {queue});
  if (Injected(sim_error::kAccessDenied)) return false;
  for (Printer* p : ListedQueues()) {
    if (!SameName(p->name, queue)) continue;
    // A queue with jobs in it goes only once they are gone.
    if (!p->pendingDeletion) printers_.erase(printers_.begin() + (p - printers_.data()));
    return true;
  }
  SetError(kErrorInvalidPrinterName);
  return false;
}

bool SimulatedMachine::RemovePrinterDriver(const std::string& driver) {
  std::lock_guard lock(mutex_);
  Record("RemovePrinterDriver", {driver});
  if (Injected(sim_error::kAccessDenied)) return false;
  const auto found = std::find_if(drivers_.begin(), drivers_.end(),
                                  [&](const auto& d) { return SameName(d.first, driver); });
  if (found == drivers_.end()) {
    SetError(kErrorUnknownPrinterDriver);
    return false;
  }
  if (!QueuesOfDriver(driver).empty() || spoolerHoldsDriver_ > 0) {
    if (spoolerHoldsDriver_ > 0) --spoolerHoldsDriver_;
    SetError(kErrorPrinterDriverInUse);
    return false;
  }
  drivers_.erase(found);
  return true;
}

bool SimulatedMachine::QueuesUsingDriver(const std::string& driver, std::vector<std::string>& queues) {
  std::lock_guard lock(mutex_);
  Record("QueuesUsingDriver", {driver});
  queues.clear();
  if (Injected(sim_error::kRpcServerUnavailable)) return false;
  queues = QueuesOfDriver(driver, false);
  return true;
}

bool SimulatedMachine::ListDriverFiles(std::vector<std::string>& files) {
  std::lock_guard lock(mutex_);
  Record("ListDriverFiles");
  files.clear();
  if (Injected(sim_error::kRpcServerUnavailable)) return false;
  for (const auto& [name, used] : drivers_) files.insert(files.end(), used.begin(), used.end());
  return true;
}

// ----- Services: printer setup -----

std::uint32_t SimulatedMachine::StartRundll32(const std::string& arguments) {
  std::lock_guard lock(mutex_);
  // The started process's current directory: the system directory, as a
  // text that names nothing here.
  Record("StartRundll32", {arguments, "C:\\Windows\\System32"});
  if (Injected(sim_error::kFileNotFound)) return sim_error::kFileNotFound;
  const std::size_t call = startCalls_++;
  return call < startResults_.size() ? startResults_[call] : defaultStartResult_;
}

std::uint32_t SimulatedMachine::RunRundll32(const std::string& arguments, std::uint32_t timeoutMs,
                                            CommandEnd& end) {
  std::lock_guard lock(mutex_);
  Record("RunRundll32", {arguments, "C:\\Windows\\System32"}, {timeoutMs});
  end = CommandEnd{};
  if (Injected(sim_error::kFileNotFound)) return sim_error::kFileNotFound;
  const std::size_t call = startCalls_++;
  const std::uint32_t result = call < startResults_.size() ? startResults_[call] : defaultStartResult_;
  if (result <= 31) return result;
  end.tookMs = std::min(commandRunMs_, timeoutMs);
  end.ended = commandRunMs_ <= timeoutMs;
  end.exitCode = end.ended ? commandExitCode_ : 0;
  clockMs_ += end.tookMs;
  // printui's /y, once it has ended, has made the named queue the default.
  constexpr std::string_view kMakeDefault = "PrintUIEntry /y";
  const std::size_t name = arguments.find("/n \"");
  if (end.ended && arguments.find(kMakeDefault) != std::string::npos && name != std::string::npos) {
    const std::string queue = arguments.substr(name + 4, arguments.rfind('"') - name - 4);
    for (const Printer* p : ListedQueues()) {
      if (NamesEqualIgnoreCase(p->name, queue)) defaultPrinter_ = p->name;
    }
  }
  return result;
}

// ----- Services: files -----

bool SimulatedMachine::FullPath(const std::string& path, std::string& full) {
  std::lock_guard lock(mutex_);
  Record("FullPath", {path});
  full.clear();
  if (Injected(sim_error::kAccessDenied)) return false;
  if (fullPathError_ != 0 || path.empty()) {
    SetError(fullPathError_ != 0 ? fullPathError_ : sim_error::kInvalidParameter);
    return false;
  }
  // The resolved folder, written back with Windows separators ('/' is never
  // part of a GBK character).
  full = ResolveLocked(path).string();
  std::replace(full.begin(), full.end(), '/', '\\');
  return true;
}

void SimulatedMachine::FailFullPath(std::uint32_t error) {
  std::lock_guard lock(mutex_);
  fullPathError_ = error;
}

bool SimulatedMachine::PathExists(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("PathExists", {path});
  if (Injected(sim_error::kAccessDenied)) return false;
  std::error_code error;
  const bool exists = !path.empty() && fs::exists(ResolveLocked(path), error);
  if (!exists) SetError(sim_error::kFileNotFound);
  return exists;
}

bool SimulatedMachine::CreateFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("CreateFolder", {path});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path folder = ResolveLocked(path);
  std::error_code error;
  if (fs::exists(folder, error)) {
    SetError(sim_error::kAlreadyExists);
    return false;
  }
  if (!fs::is_directory(folder.parent_path(), error)) {
    SetError(sim_error::kPathNotFound);
    return false;
  }
  if (!fs::create_directory(folder, error)) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  return true;
}

bool SimulatedMachine::CopyFileTo(const std::string& from, const std::string& to,
                                  bool failIfExists) {
  std::lock_guard lock(mutex_);
  Record("CopyFileTo", {from, to}, {failIfExists ? 1u : 0u});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path source = ResolveLocked(from);
  const fs::path target = ResolveLocked(to);
  auto fail = [&](std::uint32_t code) {
    SetError(code);
    return false;
  };
  if (const auto scripted = copyFailures_.find(source.filename().string());
      scripted != copyFailures_.end()) {
    return fail(scripted->second);
  }
  std::error_code error;
  const fs::file_status sourceStatus = fs::status(source, error);
  if (!fs::exists(sourceStatus)) return fail(sim_error::kFileNotFound);
  if (fs::is_directory(sourceStatus)) return fail(sim_error::kAccessDenied);
  if (!fs::is_directory(target.parent_path(), error)) return fail(sim_error::kPathNotFound);
  const fs::file_status targetStatus = fs::status(target, error);
  if (fs::exists(targetStatus)) {
    if (failIfExists) return fail(sim_error::kFileExists);
    if (fs::is_directory(targetStatus)) return fail(sim_error::kAccessDenied);
    if ((AttributesOf(target) & kFileAttributeReadOnly) != 0) return fail(sim_error::kAccessDenied);
  }
  if (!fs::copy_file(source, target, fs::copy_options::overwrite_existing, error)) {
    return fail(sim_error::kAccessDenied);
  }
  // A copy takes its source's attributes along.
  const auto kept = attributes_.find(AttributeKey(source));
  if (kept != attributes_.end()) {
    attributes_[AttributeKey(target)] = kept->second;
  } else {
    attributes_.erase(AttributeKey(target));
  }
  return true;
}

std::uint32_t SimulatedMachine::GetAttributes(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("GetAttributes", {path});
  if (Injected(sim_error::kAccessDenied)) return kInvalidFileAttributes;
  const std::uint32_t attributes = AttributesOf(ResolveLocked(path));
  if (attributes == kInvalidFileAttributes) SetError(sim_error::kFileNotFound);
  return attributes;
}

bool SimulatedMachine::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::lock_guard lock(mutex_);
  Record("SetAttributes", {path}, {attributes});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path file = ResolveLocked(path);
  if (AttributesOf(file) == kInvalidFileAttributes) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  // The directory bit is the file system's; "normal" stands only alone.
  std::uint32_t kept = attributes & ~kFileAttributeDirectory;
  if ((kept & ~kFileAttributeNormal) != 0) kept &= ~kFileAttributeNormal;
  if (kept == 0) kept = kFileAttributeNormal;
  attributes_[AttributeKey(file)] = kept;
  return true;
}

FindHandle SimulatedMachine::FindFirst(const std::string& pattern, FindData& data) {
  std::lock_guard lock(mutex_);
  Record("FindFirst", {pattern});
  if (Injected(sim_error::kAccessDenied)) return nullptr;
  const std::string text = ToPosixSeparators(pattern);
  const std::size_t slash = text.rfind('/');
  const std::string mask = slash == std::string::npos ? text : text.substr(slash + 1);
  const fs::path folder =
      ResolveLocked(slash == std::string::npos ? std::string(".") : text.substr(0, slash + 1));
  std::error_code error;
  if (mask.empty() || !fs::is_directory(folder, error)) {
    SetError(mask.empty() ? sim_error::kFileNotFound : sim_error::kPathNotFound);
    return nullptr;
  }
  Walk walk;
  for (const char* dots : {".", ".."}) {
    if (MaskMatches(mask, dots)) walk.entries.push_back(FindData{dots, kFileAttributeDirectory});
  }
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (MaskMatches(mask, name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());  // a fixed order, whatever the file system gives
  for (std::string& name : names) {
    const std::uint32_t attributes = AttributesOf(folder / name);
    std::error_code sizeError;
    const std::uintmax_t bytes = fs::is_regular_file(folder / name, sizeError) ? fs::file_size(folder / name, sizeError) : 0;
    walk.entries.push_back(FindData{std::move(name), attributes, sizeError ? 0 : bytes});
  }
  if (walk.entries.empty()) {
    SetError(sim_error::kFileNotFound);
    return nullptr;
  }
  data = walk.entries[0];
  walk.next = 1;
  const std::uintptr_t id = nextHandle_++;
  walks_.emplace(id, std::move(walk));
  return HandleOf(id);
}

bool SimulatedMachine::FindNext(FindHandle handle, FindData& data) {
  std::lock_guard lock(mutex_);
  Record("FindNext");
  if (Injected(sim_error::kAccessDenied)) return false;
  const auto found = walks_.find(IdOf(handle));
  if (found == walks_.end()) {
    ++badHandleUses_;
    SetError(sim_error::kInvalidHandle);
    return false;
  }
  Walk& walk = found->second;
  if (walk.next >= walkFailsAfter_) {
    SetError(walkError_);
    return false;
  }
  if (walk.next >= walk.entries.size()) {
    SetError(sim_error::kNoMoreFiles);
    return false;
  }
  data = walk.entries[walk.next++];
  return true;
}

void SimulatedMachine::FindEnd(FindHandle handle) {
  std::lock_guard lock(mutex_);
  Record("FindEnd");
  if (walks_.erase(IdOf(handle)) == 0) ++badHandleUses_;
}

bool SimulatedMachine::RemoveFile(const std::string& path, bool& atRestart) {
  std::lock_guard lock(mutex_);
  Record("RemoveFile", {path});
  atRestart = false;
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path file = ResolveLocked(path);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  if (filesInUse_.count(AttributeKey(file)) != 0) {
    ScheduleRenamedLocked(file);
    atRestart = true;
    return true;
  }
  fs::remove(file, error);
  return true;
}

// ----- Services: the program's own installation -----

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

void SimulatedMachine::SetInstallRecord(std::optional<InstallRecord> record) {
  std::lock_guard lock(mutex_);
  installRecord_ = std::move(record);
}

std::optional<InstallRecord> SimulatedMachine::InstallRecordNow() const {
  std::lock_guard lock(mutex_);
  return installRecord_;
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

// ----- Services: time -----

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

void SimulatedMachine::SetEnumerationTakesMs(std::uint32_t ms) {
  std::lock_guard lock(mutex_);
  enumerationMs_ = ms;
}

// The native build's own services: one machine for the process. Tests
// normally install a machine of their own with SetServices.
Services* DefaultServices() {
  static SimulatedMachine machine;
  return &machine;
}

}  // namespace vornell
