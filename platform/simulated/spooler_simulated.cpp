// The simulated machine's spooler: the driver directory, printer queues
// and drivers, the default printer, the enumeration buffers' allocations,
// and printui run through rundll32.
#include "platform/simulated/simulated_machine.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/gbk.h"

namespace vornell {

namespace {

std::uint32_t BytesFor(const std::vector<std::string>& names) {
  std::uint32_t bytes = 0;
  for (const std::string& name : names) {
    bytes += SimulatedMachine::kPrinterRecordBytes + static_cast<std::uint32_t>(name.size()) + 1;
  }
  return bytes;
}

bool SameName(const std::string& a, const std::string& b) { return NamesEqualIgnoreCase(a, b); }

}  // namespace

// ----- scripting -----

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

void SimulatedMachine::SetCommandEnd(std::uint32_t runMs, std::uint32_t exitCode) {
  std::lock_guard lock(mutex_);
  commandRunMs_ = runMs;
  commandExitCode_ = exitCode;
}

void SimulatedMachine::SetEnumerationTakesMs(std::uint32_t ms) {
  std::lock_guard lock(mutex_);
  enumerationMs_ = ms;
}

// ----- helpers (called with the lock held) -----

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

// ----- Services -----

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

// ----- Services: printui through rundll32 -----

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

}  // namespace vornell
