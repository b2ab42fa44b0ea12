#include "platform/logging_services.h"

#include <atomic>
#include <cstring>

#include "platform/error_names.h"

namespace vornell {

namespace {

// The error each thread's last call left, and the decorator that kept it.
struct KeptError {
  std::uint64_t owner = 0;
  std::uint32_t code = 0;
};
thread_local KeptError t_kept;
std::atomic<std::uint64_t> g_nextId{1};

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string Hex(std::uint64_t value, int minDigits = 1) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[value & 0xF]);
    value >>= 4;
  } while (value != 0);
  if (static_cast<int>(digits.size()) < minDigits) digits.insert(0, minDigits - digits.size(), '0');
  return "0x" + digits;
}

std::string Flags(std::uint32_t value) { return Hex(value, 8); }
std::string Handle(const void* handle) { return Hex(reinterpret_cast<std::uintptr_t>(handle)); }
std::string Number(std::uint64_t value) { return std::to_string(value); }
std::string YesNo(bool value) { return value ? "yes" : "no"; }

// "C:\a" and "C:\b".
std::string Names(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) {
    if (!list.empty()) list += ", ";
    list += Quoted(name);
  }
  return list;
}

std::string Found(const FindData& data) {
  return Quoted(data.name) + " (attributes " + Flags(data.attributes) + ")";
}

// A text the system wrote into a caller's buffer: up to its zero, never past the end.
std::string_view BufferText(const char* buffer, std::size_t size) {
  if (buffer == nullptr) return {};
  const void* end = std::memchr(buffer, '\0', size);
  return std::string_view(buffer, end != nullptr ? static_cast<const char*>(end) - buffer : size);
}

}  // namespace

LoggingServices::LoggingServices(Services& inner, Log& log)
    : inner_(inner), log_(log), id_(g_nextId.fetch_add(1)) {}

std::uint32_t LoggingServices::NoteError() {
  const std::uint32_t code = inner_.LastError();
  t_kept = KeptError{id_, code};
  return code;
}

void LoggingServices::Logged(const std::string& call, const std::string& result) {
  log_.Write(call + ": " + result);
}

void LoggingServices::LoggedFailure(const std::string& call, std::uint32_t error,
                                    const std::string& result, LogLevel level) {
  // Windows has no text for most of the signing codes: the name and our sentence say it.
  if (const KnownError* known = FindDriverRefusal(error)) {
    log_.Write(level, call + ": " + result + ", error " + Number(error) + " (" + Hex(error, 8) + ", " +
                          known->name + "): " + known->meaning);
    return;
  }
  log_.Write(level, call + ": " + result + ", error " + Number(error) + " (" + Hex(error, 8) +
             "): " + inner_.ErrorMessage(error));
}

bool LoggingServices::Outcome(bool succeeded, const std::string& call, const std::string& success,
                             const std::string& failure, LogLevel level) {
  const std::uint32_t error = NoteError();
  if (succeeded) {
    Logged(call, success);
  } else {
    LoggedFailure(call, error, failure, level);
  }
  return succeeded;
}

void LoggingServices::Done(const std::string& call) {
  NoteError();
  Logged(call, "done");
}

std::uint32_t LoggingServices::LastError() {
  if (t_kept.owner == id_) return t_kept.code;
  return inner_.LastError();  // no call of this thread passed here yet
}

std::string LoggingServices::ErrorMessage(std::uint32_t code) { return inner_.ErrorMessage(code); }

// ----- the process -----

bool LoggingServices::QueryIsWow64Process(bool& isWow64) {
  const bool available = inner_.QueryIsWow64Process(isWow64);
  return Outcome(available, "QueryIsWow64Process()", "WOW64 " + YesNo(isWow64), "query not available");
}

bool LoggingServices::QueryNativeMachine(std::uint16_t& machine) {
  const bool known = inner_.QueryNativeMachine(machine);
  return Outcome(known, "QueryNativeMachine()", "machine " + Hex(machine, 4));
}

bool LoggingServices::EnterProgramFolder() { return Outcome(inner_.EnterProgramFolder(), "EnterProgramFolder()"); }

void LoggingServices::Sleep(std::uint32_t milliseconds) {
  inner_.Sleep(milliseconds);
  NoteError();
}

// Not logged: it is asked once a look, and says nothing that could fail.
std::uint64_t LoggingServices::TickCountMs() { return inner_.TickCountMs(); }

// ----- USB devices -----

DeviceSet LoggingServices::GetUsbDeviceSet(std::uint32_t flags) {
  const DeviceSet set = inner_.GetUsbDeviceSet(flags);
  Outcome(set != nullptr, "GetUsbDeviceSet(flags " + Flags(flags) + ")", "set " + Handle(set));
  return set;
}

bool LoggingServices::EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) {
  return Outcome(inner_.EnumUsbDeviceInterface(set, index),
                 "EnumUsbDeviceInterface(set " + Handle(set) + ", index " + Number(index) + ")", "found", "none",
                 LogLevel::kInfo);
}

bool LoggingServices::GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                                std::size_t pathSize) {
  const bool got = inner_.GetUsbDeviceInterfacePath(set, index, path, pathSize);
  return Outcome(got, "GetUsbDeviceInterfacePath(set " + Handle(set) + ", index " + Number(index) + ", buffer " +
                          Number(pathSize) + " bytes)",
                 got ? Quoted(BufferText(path, pathSize)) : "");
}

void LoggingServices::DestroyDeviceSet(DeviceSet set) {
  inner_.DestroyDeviceSet(set);
  Done("DestroyDeviceSet(set " + Handle(set) + ")");
}

void* LoggingServices::RegisterUsbDeviceNotification(void* window) {
  void* const registration = inner_.RegisterUsbDeviceNotification(window);
  Outcome(registration != nullptr, "RegisterUsbDeviceNotification(window " + Handle(window) + ")",
          "registration " + Handle(registration));
  return registration;
}

void LoggingServices::UnregisterUsbDeviceNotification(void* registration) {
  inner_.UnregisterUsbDeviceNotification(registration);
  Done("UnregisterUsbDeviceNotification(registration " + Handle(registration) + ")");
}

// ----- driver setup and the driver store -----

PendingInstalls LoggingServices::WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) {
  const PendingInstalls pending = inner_.WaitNoPendingInstalls(timeoutMs, waitedMs);
  const std::string after = " after " + Number(waitedMs) + " ms";
  Outcome(pending != PendingInstalls::kUnknown, "WaitNoPendingInstalls(up to " + Number(timeoutMs) + " ms)",
          (pending == PendingInstalls::kNone ? "no device installation pending" : "Windows is still installing devices") +
              after,
          "could not tell" + after);
  return pending;
}

void LoggingServices::SetNonInteractiveInstalls() {
  inner_.SetNonInteractiveInstalls();
  Done("SetNonInteractiveInstalls()");
}

bool LoggingServices::UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                                   std::uint32_t installFlags, bool* restartNeeded) {
  const bool updated = inner_.UpdateDriver(hardwareId, infPath, installFlags, restartNeeded);
  return Outcome(updated,
                 "UpdateDriver(" + Quoted(hardwareId) + ", " + Quoted(infPath) + ", flags " + Flags(installFlags) + ")",
                 restartNeeded != nullptr && *restartNeeded ? "done, a restart is needed" : "done");
}

int LoggingServices::SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                                     std::string* storedName) {
  const int result = inner_.SetupCopyOemInf(infPath, mediaType, copyStyle, storedName);
  Outcome(result == 1,
          "SetupCopyOemInf(" + Quoted(infPath) + ", media type " + Number(mediaType) + ", style " + Flags(copyStyle) + ")",
          storedName != nullptr && !storedName->empty() ? "1, stored as " + Quoted(*storedName) : "1",
          std::to_string(result));
  return result;
}

bool LoggingServices::RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) {
  const bool removed = inner_.RemoveStoredDriver(storedInf, force, removal);
  const std::string how = removal.how.empty() ? "" : " by " + removal.how;
  return Outcome(removed, "RemoveStoredDriver(" + Quoted(storedInf) + (force ? ", forced" : "") + ")",
                 "done" + how + (removal.restartNeeded ? ", a restart is needed" : ""), "failed" + how);
}

bool LoggingServices::StoredInfOrigin(const std::string& storedInf, std::string& originalName) {
  const bool read = inner_.StoredInfOrigin(storedInf, originalName);
  return Outcome(read, "StoredInfOrigin(" + Quoted(storedInf) + ")", Quoted(originalName));
}

// ----- the spooler -----

bool LoggingServices::GetDriverDirectory(char* buffer, std::uint32_t bufferSize) {
  const bool got = inner_.GetDriverDirectory(buffer, bufferSize);
  // On failure the buffer holds no answer: not shown.
  return Outcome(got, "GetDriverDirectory(buffer " + Number(bufferSize) + " bytes)",
                 got ? Quoted(BufferText(buffer, bufferSize)) : "");
}

std::uint32_t LoggingServices::EnumPrintersNeeded(std::uint32_t flags) {
  const std::uint32_t needed = inner_.EnumPrintersNeeded(flags);
  const std::uint32_t error = NoteError();
  const std::string call = "EnumPrintersNeeded(flags " + Flags(flags) + ")";
  // A size call with printers "fails" with error 122 by design; one that
  // found no printers leaves no error. Anything else is a spooler's failure.
  if (needed == 0 && error != 0 && error != kErrorInsufficientBuffer) {
    LoggedFailure(call, error, "0 bytes");
  } else {
    Logged(call, Number(needed) + " bytes");
  }
  return needed;
}

bool LoggingServices::EnumPrintersFill(std::uint32_t flags, void* buffer, std::uint32_t bufferSize,
                                       std::vector<std::string>& names) {
  const bool filled = inner_.EnumPrintersFill(flags, buffer, bufferSize, names);
  return Outcome(filled, "EnumPrintersFill(flags " + Flags(flags) + ", buffer " + Number(bufferSize) + " bytes)",
                 Number(names.size()) + (names.size() == 1 ? " printer" : " printers") +
                     (names.empty() ? "" : ": " + Names(names)));
}

void* LoggingServices::AllocZeroed(std::size_t bytes) {
  void* block = inner_.AllocZeroed(bytes);
  const std::uint32_t error = NoteError();
  // Only a failure: a block for every look at the printer list is noise.
  if (block == nullptr) LoggedFailure("AllocZeroed(" + Number(bytes) + " bytes)", error);
  return block;
}

void LoggingServices::Free(void* block) {
  inner_.Free(block);
  NoteError();
}

bool LoggingServices::DefaultPrinter(std::string& name) {
  const bool known = inner_.DefaultPrinter(name);
  return Outcome(known, "DefaultPrinter()", Quoted(name));
}

bool LoggingServices::QueueMarkedForDeletion(const std::string& queue, bool& marked) {
  const bool read = inner_.QueueMarkedForDeletion(queue, marked);
  return Outcome(read, "QueueMarkedForDeletion(" + Quoted(queue) + ")",
                 marked ? "marked for deletion, jobs still in it" : "not marked for deletion");
}

bool LoggingServices::GetQueueDriver(const std::string& queue, std::string& driver) {
  const bool got = inner_.GetQueueDriver(queue, driver);
  return Outcome(got, "GetQueueDriver(" + Quoted(queue) + ")", Quoted(driver));
}

bool LoggingServices::DeleteQueue(const std::string& queue) {
  return Outcome(inner_.DeleteQueue(queue), "DeleteQueue(" + Quoted(queue) + ")");
}

bool LoggingServices::RemovePrinterDriver(const std::string& driver) {
  return Outcome(inner_.RemovePrinterDriver(driver), "RemovePrinterDriver(" + Quoted(driver) + ")");
}

bool LoggingServices::QueuesUsingDriver(const std::string& driver, std::vector<std::string>& queues) {
  const bool listed = inner_.QueuesUsingDriver(driver, queues);
  return Outcome(listed, "QueuesUsingDriver(" + Quoted(driver) + ")",
                 queues.empty() ? std::string("none") : Names(queues));
}

bool LoggingServices::ListDriverFiles(std::vector<std::string>& files) {
  const bool listed = inner_.ListDriverFiles(files);
  return Outcome(listed, "ListDriverFiles()", Number(files.size()) + " files");
}

std::uint32_t LoggingServices::StartRundll32(const std::string& arguments) {
  const std::uint32_t result = inner_.StartRundll32(arguments);
  NoteError();
  // Unquoted: the arguments hold quotes of their own, and are shown as run.
  const std::string call = "StartRundll32(" + arguments + ")";
  if (result > 31) {
    Logged(call, "started (" + Number(result) + ")");
  } else if (result == 0) {
    Logged(call, "not started (0): out of memory or resources");
  } else {
    // WinExec's results below 32 are the system's error codes of the same number.
    LoggedFailure(call, result, "not started");
  }
  return result;
}

std::uint32_t LoggingServices::RunRundll32(const std::string& arguments, std::uint32_t timeoutMs,
                                           CommandEnd& end) {
  const std::uint32_t result = inner_.RunRundll32(arguments, timeoutMs, end);
  const std::uint32_t error = NoteError();
  const std::string call = "RunRundll32(" + arguments + ", up to " + Number(timeoutMs) + " ms)";
  if (result <= 31) {
    LoggedFailure(call, result == 0 ? error : result, "not started (" + Number(result) + ")");
  } else if (end.ended) {
    // rundll32 says nothing through its exit code of how printui fared.
    Logged(call, "finished after " + Number(end.tookMs) + " ms (rundll32's exit code " + Number(end.exitCode) + ")");
  } else {
    // Left to run: ending it midway could leave the printer half set up.
    Logged(call, "still running after " + Number(end.tookMs) + " ms; left to run");
  }
  return result;
}

// ----- files -----

bool LoggingServices::FullPath(const std::string& path, std::string& full) {
  const bool made = inner_.FullPath(path, full);
  return Outcome(made, "FullPath(" + Quoted(path) + ")", Quoted(full));
}

// Not found, or not allowed to look: an answer, not a failure.
bool LoggingServices::PathExists(const std::string& path) {
  return Outcome(inner_.PathExists(path), "PathExists(" + Quoted(path) + ")", "yes", "no", LogLevel::kInfo);
}

bool LoggingServices::CreateFolder(const std::string& path) {
  return Outcome(inner_.CreateFolder(path), "CreateFolder(" + Quoted(path) + ")");
}

bool LoggingServices::CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  return Outcome(inner_.CopyFileTo(from, to, failIfExists),
                 "CopyFileTo(" + Quoted(from) + ", " + Quoted(to) + ", fail if exists " + YesNo(failIfExists) + ")");
}

std::uint32_t LoggingServices::GetAttributes(const std::string& path) {
  const std::uint32_t attributes = inner_.GetAttributes(path);
  Outcome(attributes != kInvalidFileAttributes, "GetAttributes(" + Quoted(path) + ")", Flags(attributes));
  return attributes;
}

bool LoggingServices::SetAttributes(const std::string& path, std::uint32_t attributes) {
  return Outcome(inner_.SetAttributes(path, attributes), "SetAttributes(" + Quoted(path) + ", " + Flags(attributes) + ")");
}

FindHandle LoggingServices::FindFirst(const std::string& pattern, FindData& data) {
  const FindHandle walk = inner_.FindFirst(pattern, data);
  Outcome(walk != nullptr, "FindFirst(" + Quoted(pattern) + ")", "walk " + Handle(walk) + ", " + Found(data), "none",
          LogLevel::kInfo);
  return walk;
}

bool LoggingServices::FindNext(FindHandle walk, FindData& data) {
  const bool found = inner_.FindNext(walk, data);
  return Outcome(found, "FindNext(walk " + Handle(walk) + ")", Found(data), "none", LogLevel::kInfo);
}

void LoggingServices::FindEnd(FindHandle walk) {
  inner_.FindEnd(walk);
  Done("FindEnd(walk " + Handle(walk) + ")");
}

bool LoggingServices::RemoveFile(const std::string& path, bool& atRestart) {
  const bool removed = inner_.RemoveFile(path, atRestart);
  return Outcome(removed, "RemoveFile(" + Quoted(path) + ")", atRestart ? "in use: goes at the next restart" : "done");
}

bool LoggingServices::RemoveFolder(const std::string& path) {
  return Outcome(inner_.RemoveFolder(path), "RemoveFolder(" + Quoted(path) + ")");
}

bool LoggingServices::MoveFileTo(const std::string& from, const std::string& to) {
  return Outcome(inner_.MoveFileTo(from, to), "MoveFileTo(" + Quoted(from) + ", " + Quoted(to) + ")");
}

namespace {
std::string Digest(const FileDigest& digest) { return Number(digest.size) + " bytes, SHA-256 " + digest.sha256; }
}  // namespace

bool LoggingServices::CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) {
  const bool copied = inner_.CopyVerifiedFile(from, to, digest);
  return Outcome(copied, "CopyVerifiedFile(" + Quoted(from) + ", " + Quoted(to) + ")", copied ? Digest(digest) : "");
}

bool LoggingServices::HashFile(const std::string& path, FileDigest& digest) {
  const bool hashed = inner_.HashFile(path, digest);
  return Outcome(hashed, "HashFile(" + Quoted(path) + ")", hashed ? Digest(digest) : "");
}

bool LoggingServices::OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) {
  const bool only = inner_.OnlyAdministratorsMayWrite(path, reason);
  return Outcome(only, "OnlyAdministratorsMayWrite(" + Quoted(path) + ")", "yes", "no: " + reason);
}

// ----- the program's own installation -----

namespace {

const char* OwnerName(InstallOwner owner) {
  switch (owner) {
    case InstallOwner::kNone: return "none";
    case InstallOwner::kProgram: return "the program";
    case InstallOwner::kWindowsInstaller: return "Windows Installer";
  }
  return "?";
}

std::string RecordText(const InstallRecord& record) {
  return "queue " + Quoted(record.queueName) + ", driver " + Quoted(record.driverName) + ", stored as " +
         Quoted(record.storedInf);
}

}  // namespace

bool LoggingServices::ProgramFolder(std::string& folder) {
  const bool named = inner_.ProgramFolder(folder);
  return Outcome(named, "ProgramFolder()", Quoted(folder));
}

bool LoggingServices::ClearPendingRemovals(std::uint32_t& cleared) {
  const bool done = inner_.ClearPendingRemovals(cleared);
  return Outcome(done, "ClearPendingRemovals()", Number(cleared) + " of our entries taken out");
}

bool LoggingServices::InstallProgramCopy(std::string& copyPath) {
  const bool copied = inner_.InstallProgramCopy(copyPath);
  return Outcome(copied, "InstallProgramCopy()", Quoted(copyPath));
}

bool LoggingServices::RemoveProgramCopy(bool& atRestart) {
  const bool removed = inner_.RemoveProgramCopy(atRestart);
  return Outcome(removed, "RemoveProgramCopy()", atRestart ? "it runs: goes at the next restart" : "done");
}

bool LoggingServices::WriteAppsEntry(const AppsEntry& entry) {
  return Outcome(inner_.WriteAppsEntry(entry), "WriteAppsEntry(" + Quoted(entry.displayName) + ", version " +
                                                   Quoted(entry.displayVersion) + ", " + Number(entry.estimatedSizeKb) +
                                                   " KB, copy " + Quoted(entry.programCopy) + ")");
}

bool LoggingServices::ReadAppsEntry(AppsEntry& entry) {
  const bool read = inner_.ReadAppsEntry(entry);
  return Outcome(read, "ReadAppsEntry()",
                 "version " + Quoted(entry.displayVersion) + ", queue " + Quoted(entry.queueName) + ", driver " +
                     Quoted(entry.driverName) + ", stored as " + Quoted(entry.storedInf),
                 "none");
}

bool LoggingServices::DeleteAppsEntry() { return Outcome(inner_.DeleteAppsEntry(), "DeleteAppsEntry()"); }

bool LoggingServices::ReadInstallRecord(InstallRecord& record) {
  const bool read = inner_.ReadInstallRecord(record);
  return Outcome(read, "ReadInstallRecord()", std::string("owner ") + OwnerName(record.owner) + ", " + RecordText(record),
                 "none");
}

bool LoggingServices::WriteInstallRecord(const InstallRecord& record) {
  return Outcome(inner_.WriteInstallRecord(record),
                 std::string("WriteInstallRecord(owner ") + OwnerName(record.owner) + ", " + RecordText(record) + ")");
}

bool LoggingServices::DeleteInstallRecord() { return Outcome(inner_.DeleteInstallRecord(), "DeleteInstallRecord()"); }

}  // namespace vornell
