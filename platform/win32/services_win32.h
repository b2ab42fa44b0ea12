#pragma once
// The real system behind Services: the wide APIs, with GBK converted to
// UTF-16 on the way in and back to GBK where names come out.
// One object behind every interface; its calls are defined in one file
// per concern, named beside each group below.
#include "platform/services.h"

namespace vornell {

class Win32Services final : public Services {
 public:
  // USB devices: the USB class's device interfaces and their arrival (usb_devices_win32.cpp).
  DeviceSet GetUsbDeviceSet(std::uint32_t flags) override;
  bool EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) override;
  bool GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                 std::size_t pathSize) override;
  void DestroyDeviceSet(DeviceSet set) override;
  void* RegisterUsbDeviceNotification(void* window) override;
  void UnregisterUsbDeviceNotification(void* registration) override;

  // Driver installation and the driver store (driver_setup_win32.cpp).
  PendingInstalls WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) override;
  void SetNonInteractiveInstalls() override;
  bool UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                    std::uint32_t installFlags, bool* restartNeeded) override;
  int SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                      std::string* storedName = nullptr) override;
  bool RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) override;
  bool StoredInfOrigin(const std::string& storedInf, std::string& originalName) override;

  // The spooler, and printui through rundll32 (spooler_win32.cpp).
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

  // Files (files_win32.cpp, verified_copy.cpp, write_access_win32.cpp).
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

  // The program's own installation (program_copy.cpp, pending_removals.cpp, own_installation_win32.cpp).
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

  // The process's own calls and time (process_calls_win32.cpp).
  bool QueryIsWow64Process(bool& isWow64) override;
  bool QueryNativeMachine(std::uint16_t& machine) override;
  bool EnterProgramFolder() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCountMs() override;

  // System errors, which every call above leaves (services_win32.cpp).
  std::uint32_t LastError() override;
  std::string ErrorMessage(std::uint32_t code) override;
};

}  // namespace vornell
