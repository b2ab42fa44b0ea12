#pragma once
// Services that log every call they pass on: one line per call with the
// operation, its main arguments and its result, and on failure the error
// code and the system's text for it. Sleep, Free and a successful
// AllocZeroed pass unlogged (noise), as do LastError and ErrorMessage.
//
// LastError() answers the error the wrapped services reported right after
// the caller's last call on the same thread, before anything was logged, so
// writing the log can never change what the caller reads. To get it, every
// call passed on is followed by one LastError() on the wrapped services.
#include <cstdint>

#include "platform/log.h"
#include "platform/services.h"

namespace vornell {

class LoggingServices final : public Services {
 public:
  explicit LoggingServices(Services& inner, Log& log = GetLog());
  LoggingServices(const LoggingServices&) = delete;
  LoggingServices& operator=(const LoggingServices&) = delete;

  // the process
  bool QueryIsWow64Process(bool& isWow64) override;
  bool QueryNativeMachine(std::uint16_t& machine) override;
  bool EnterProgramFolder() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCountMs() override;
  // USB devices
  DeviceSet GetUsbDeviceSet(std::uint32_t flags) override;
  bool EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) override;
  bool GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                 std::size_t pathSize) override;
  void DestroyDeviceSet(DeviceSet set) override;
  void* RegisterUsbDeviceNotification(void* window) override;
  void UnregisterUsbDeviceNotification(void* registration) override;
  // driver setup and the driver store
  PendingInstalls WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) override;
  void SetNonInteractiveInstalls() override;
  bool UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                    std::uint32_t installFlags, bool* restartNeeded) override;
  int SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                      std::string* storedName = nullptr) override;
  bool RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) override;
  bool StoredInfOrigin(const std::string& storedInf, std::string& originalName) override;
  // the spooler
  bool GetDriverDirectory(char* buffer, std::uint32_t bufferSize) override;
  std::uint32_t EnumPrintersNeeded(std::uint32_t flags) override;
  bool EnumPrintersFill(std::uint32_t flags, void* buffer, std::uint32_t bufferSize,
                        std::vector<std::string>& names) override;
  void* AllocZeroed(std::size_t bytes) override;
  void Free(void* block) override;
  bool DefaultPrinter(std::string& name) override;
  bool QueueMarkedForDeletion(const std::string& queue, bool& marked) override;
  bool GetQueueDriver(const std::string& queue, std::string& driver) override;
  bool DeleteQueue(const std::string& queue) override;
  bool RemovePrinterDriver(const std::string& driver) override;
  bool QueuesUsingDriver(const std::string& driver, std::vector<std::string>& queues) override;
  bool ListDriverFiles(std::vector<std::string>& files) override;
  std::uint32_t StartRundll32(const std::string& arguments) override;
  std::uint32_t RunRundll32(const std::string& arguments, std::uint32_t timeoutMs, CommandEnd& end) override;
  // files
  bool FullPath(const std::string& path, std::string& full) override;
  bool PathExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) override;
  std::uint32_t GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override;
  FindHandle FindFirst(const std::string& pattern, FindData& data) override;
  bool FindNext(FindHandle walk, FindData& data) override;
  void FindEnd(FindHandle walk) override;
  bool RemoveFile(const std::string& path, bool& atRestart) override;
  bool RemoveFolder(const std::string& path) override;
  bool MoveFileTo(const std::string& from, const std::string& to) override;
  bool CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) override;
  bool HashFile(const std::string& path, FileDigest& digest) override;
  bool OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) override;
  // the program's own installation
  bool ProgramFolder(std::string& folder) override;
  bool ClearPendingRemovals(std::uint32_t& cleared) override;
  bool InstallProgramCopy(std::string& copyPath) override;
  bool RemoveProgramCopy(bool& atRestart) override;
  bool WriteAppsEntry(const AppsEntry& entry) override;
  bool ReadAppsEntry(AppsEntry& entry) override;
  bool DeleteAppsEntry() override;
  bool ReadInstallRecord(InstallRecord& record) override;
  bool WriteInstallRecord(const InstallRecord& record) override;
  bool DeleteInstallRecord() override;
  // errors
  std::uint32_t LastError() override;
  std::string ErrorMessage(std::uint32_t code) override;

 private:
  // Reads and keeps the wrapped services' error for this thread; returns it.
  std::uint32_t NoteError();
  // "<call>: <result>".
  void Logged(const std::string& call, const std::string& result);
  // "<call>: failed, error N (0xN): <the system's text>", with the kept error;
  // a warning, unless the failure is how the call says "no more" or "not there".
  void LoggedFailure(const std::string& call, std::uint32_t error, const std::string& result = "failed",
                     LogLevel level = LogLevel::kWarning);
  // The one line of an ordinary call: keeps the error of the call just made
  // and writes "<call>: <success>", or its failure with `failure` and `level`.
  bool Outcome(bool succeeded, const std::string& call, const std::string& success = "done",
               const std::string& failure = "failed", LogLevel level = LogLevel::kWarning);
  // The same for a call that returns nothing: "<call>: done".
  void Done(const std::string& call);

  Services& inner_;
  Log& log_;
  const std::uint64_t id_;  // tells this decorator's kept errors from another's
};

// Every call to the system is logged while the object lives; the services
// in place before come back after it.
class LoggedServices {
 public:
  LoggedServices() : inner_(GetServices()), logging_(inner_) { SetServices(&logging_); }
  ~LoggedServices() { SetServices(&inner_); }
  LoggedServices(const LoggedServices&) = delete;
  LoggedServices& operator=(const LoggedServices&) = delete;

 private:
  Services& inner_;
  LoggingServices logging_;
};

}  // namespace vornell
