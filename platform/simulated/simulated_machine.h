#pragma once
// A scriptable stand-in for the system, for the native tests. A test builds
// one, scripts what the machine holds (USB devices, printer queues, driver
// update outcomes, files in a real temporary folder), installs it with
// SetServices(&machine), runs the code under test and then reads back every
// call that reached the machine, with its arguments, in order.
//
// Pauses run on a virtual clock: Sleep adds to it and returns at once.
// Every member may be called from any thread; one lock guards the state.
// LastError() is kept per thread, as Windows keeps it.
//
// As strict as Windows where the installer's outcome depends on it: a
// driver update or the driver store fails with error 2 when the INF path
// names no file, and any call that can fail can be made to fail, by its
// place in the run (FailCallAt), with the value and a last error its
// Windows counterpart would give.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/services.h"
#include "platform/simulated/simulated_calls.h"

namespace vornell {

class SimulatedMachine : public Services {
 public:
  // Bytes one level-4 printer record takes besides its name (and the name's
  // terminating zero): the size of PRINTER_INFO_4W on 64-bit Windows.
  static constexpr std::uint32_t kPrinterRecordBytes = 24;
  static constexpr std::uint32_t kDefaultStartResult = 33;

  SimulatedMachine();
  ~SimulatedMachine() override;
  SimulatedMachine(const SimulatedMachine&) = delete;
  SimulatedMachine& operator=(const SimulatedMachine&) = delete;

  // ----- scripting -----

  // -- USB devices --
  // USB device interfaces: the paths of the attached devices, in enumeration
  // order. A device set takes a snapshot when it is created.
  void SetUsbDevicePaths(std::vector<std::string> paths);
  // A set asked for without DIGCF_DEVICEINTERFACE holds no interfaces.
  // GetUsbDeviceSet returns null (the system refused the device list).
  void RefuseDeviceSet(bool refuse);
  // The enumeration call fails with `error` for `index` and every later one.
  void FailEnumAt(std::uint32_t index, std::uint32_t error = sim_error::kNoMoreItems);
  // The detail call for `index` fails with `error`.
  void FailDetailAt(std::uint32_t index, std::uint32_t error = sim_error::kInsufficientBuffer);

  // -- driver installation and the driver store --
  // Windows installs devices of its own until the virtual clock reads `ms`:
  // the wait for them lasts until then, and a driver update meanwhile fails
  // with ERROR_DEVICE_INSTALLER_NOT_READY.
  void SetInstallsPendingUntil(std::uint64_t ms);
  // The next `count` driver updates fail with `error`, whatever else holds.
  void FailUpdates(int count, std::uint32_t error);
  // The update finds a device only while the printer (vid_f0e1&pid_c20b) is
  // among the USB devices; otherwise it fails with ERROR_NO_SUCH_DEVINST.
  // A successful update needs a restart (told to a caller that asks).
  void SetUpdateNeedsRestart(bool needs);
  // UpdateDriver: success, or failure leaving `error` in LastError().
  void SetUpdateDriverResult(bool succeeds, std::uint32_t error = sim_error::kNoSuchDevinst);
  // SetupCopyOemInf returns `result` (any value; only exactly 1 means the
  // INF entered the store) and always leaves `error` in LastError(), so the
  // update's error is gone once it has run. Default: 1, error 0.
  void SetCopyOemInfResult(int result, std::uint32_t error = 0);
  // The driver store: a successful SetupCopyOemInf keeps each INF content
  // once, under "oem<N>.inf".
  std::vector<std::string> StoredInfs() const;
  void SetStoreRemovalNeedsRestart(bool needs);
  // Another package now has the store's name `storedInf`, whose INF was first `originalName`.
  void SetStoredInfOrigin(std::string storedInf, std::string originalName);

  // -- spooler and printui --
  // The printer-driver directory (GBK; tests give a real temporary folder).
  // Default: "C:\Windows\System32\spool\DRIVERS\x64", which names nothing here.
  // A directory longer than the caller's buffer fails with error 122 and
  // leaves the buffer as it was.
  void SetDriverDirectory(std::string path);
  // GetDriverDirectory fails; the caller's buffer then holds `garbage`
  // (as many of its bytes as fit, no terminating zero added).
  void FailDriverDirectory(std::string garbage, std::uint32_t error = sim_error::kInvalidHandle);
  // Printer queues, listed in the order added, by both enumeration calls
  // once they have appeared, and only when the flags ask for local printers.
  // "Size call" below means a call of EnumPrintersNeeded, counted from 1.
  // The byte count is the sum of kPrinterRecordBytes + name + its zero.
  // `driver`: the printer driver the queue uses; empty, one of the queue's name.
  void AddPrinter(std::string name, std::string driver = {});
  // Listed by every call made when the virtual clock reads `ms` or more.
  void AddPrinterAtTime(std::string name, std::uint64_t ms);
  // Listed `delayMs` after the first driver update that worked; never
  // without one: Windows sets up the queue of the device it installed.
  void AddPrinterAfterUpdate(std::string name, std::uint64_t delayMs = 0);
  // Listed from size call n+1 on: after n whole enumerations.
  void AddPrinterAfterEnumerations(std::string name, int n);
  // Not counted by size call k but listed by the fill call that follows it
  // (which then fails with error 122 unless the caller's buffer has room),
  // and by every later call: the list grows between the two calls.
  void AddPrinterBetweenSizeAndFill(std::string name, int k);
  // Installed printer drivers and their files (names without a folder).
  void AddPrinterDriver(std::string name, std::vector<std::string> files);
  std::vector<std::string> PrinterDrivers() const;
  std::vector<std::string> QueueNames() const;
  // The spooler has deleted `queue` only in part: it keeps jobs, still
  // holds its driver, and is not listed among the driver's users.
  // `pending` false: its jobs are done, and a deletion takes it.
  void MarkQueuePendingDeletion(const std::string& queue, bool pending = true);
  // RemovePrinterDriver answers 3001 `times` more times although no queue
  // uses the driver: the spooler still has it loaded.
  void HoldDriverInSpooler(int times);
  // The account's default printer; empty: none. An awaited printui /y
  // command that ends makes its queue the default, as printui does.
  void SetDefaultPrinterName(std::string name);
  std::string DefaultPrinterName() const;
  // AllocZeroed fails (null, error 8) on its n-th call, counted from 1.
  void FailAllocation(int n);
  void FailAllAllocations(bool fail);
  // Each printer enumeration call takes this long on the virtual clock (a
  // connection to a print server that is down). TickCountMs reads the
  // clock; it is not recorded, as nothing the tests compare depends on it.
  void SetEnumerationTakesMs(std::uint32_t ms);
  // Awaited commands (RunRundll32) run `runMs` on the virtual clock, or
  // until the caller's wait is over, and end with `exitCode`.
  void SetCommandEnd(std::uint32_t runMs, std::uint32_t exitCode);
  // Start results of StartRundll32 and RunRundll32, in call order; calls beyond the list
  // return the default result (33 unless set).
  void SetStartResults(std::vector<std::uint32_t> results);
  void SetDefaultStartResult(std::uint32_t result);

  // -- files --
  // RemoveFile of this path finds the file in use: it goes at the restart.
  void SetFileInUse(const std::string& path);
  // The next `times` openings of this file for reading whole (CopyVerifiedFile,
  // HashFile) fail with a sharing violation: another process holds it.
  void HoldFile(const std::string& path, int times);
  // OnlyAdministratorsMayWrite answers false with `reason` for this file or
  // folder (a real path, or one the machine resolves).
  void LetOthersWrite(const std::string& path, std::string reason);
  // FullPath fails with `error` (0: it works again).
  void FailFullPath(std::uint32_t error);
  // CopyFileTo fails with `error` when the source's file name is `fileName`.
  void FailCopyOf(std::string fileName, std::uint32_t error = sim_error::kAccessDenied);
  // A walk's FindNext fails with `error` once it has handed out `entries`
  // entries (the first from FindFirst counts).
  void FailWalkAfter(std::size_t entries, std::uint32_t error);

  // -- the program's own installation --
  // The program copy under Program Files, and the process running from it.
  static constexpr char kProgramCopy[] = "C:\\Program Files\\Orvane\\Vornell\\Vornell.exe";
  void SetProgramCopy(bool present, bool running);
  bool HasProgramCopy() const;
  bool CopyGoesAtRestart() const;
  // The Apps & features entry.
  void SetAppsEntry(std::optional<AppsEntry> entry);
  std::optional<AppsEntry> Entry() const;
  // The install record (HKLM\Software\Orvane\Vornell); an MSI's install
  // sets one with only the owner.
  void SetInstallRecord(std::optional<InstallRecord> record);
  std::optional<InstallRecord> InstallRecordNow() const;
  // The folder ProgramFolder names; it resolves under the current folder.
  static constexpr char kProgramFolder[] = "C:\\Program Files\\Orvane\\Vornell";
  // Paths the machine deletes at the next restart, in the order scheduled;
  // `foreign` adds one of another program's.
  std::vector<std::string> PendingRemovals() const;
  void AddForeignPendingRemoval(std::string path);

  // -- the running process --
  // The process-bitness query: nullopt = the system has no such query (the
  // call then returns false and leaves the caller's flag untouched); a value
  // = the query exists and reports it. Default: exists, false.
  void SetWow64(std::optional<bool> isWow64);
  // The machine's processor as IsWow64Process2 reports it; nullopt: no
  // such call. Default: x64 (0x8664).
  void SetNativeMachine(std::optional<std::uint16_t> machine);
  // The program file's folder, which EnterProgramFolder makes the current
  // one. Until a test sets one, the program sits in the current folder.
  void SetProgramFolder(std::filesystem::path folder);

  // -- shared by all: errors, paths, injected failures --
  // Presets what LastError() reports until a call leaves another value.
  void SetLastErrorValue(std::uint32_t error);
  // The folder relative paths are resolved against (the process's own
  // current directory is never used), and the one drive paths ("C:\\...")
  // lie in, whatever the current folder becomes later. Until a test sets one, relative paths
  // name nothing that exists.
  void SetCurrentFolder(std::filesystem::path folder);
  // Every call of `operation` fails with `error`, before doing anything.
  void FailOperation(std::string operation, std::uint32_t error);
  // The `call`-th call that can fail (counted from 1 over every operation
  // that returns a result, LastError and ErrorMessage aside) fails, before
  // it does anything. 0: none.
  void FailCallAt(std::size_t call);

  // ----- what happened -----

  std::vector<SimulatedCall> Calls() const;
  std::vector<SimulatedCall> CallsOf(std::string_view operation) const;
  std::size_t CountOf(std::string_view operation) const;
  // Operation names in call order; with a non-empty `only`, just those.
  std::vector<std::string> Operations(const std::set<std::string>& only = {}) const;
  void ClearCalls();

  std::size_t FailableCalls() const;             // calls that could have been made to fail
  std::optional<InjectedFailure> Injection() const;  // the one made to fail, once it was
  int DriverUpdatesDone() const;                 // UpdateDriver calls that worked
  int InfsStored() const;                        // SetupCopyOemInf calls that returned 1
  std::uint64_t NowMs() const;                   // the virtual clock
  std::vector<std::uint32_t> Sleeps() const;     // every pause, in order
  std::size_t LiveAllocations() const;           // AllocZeroed blocks not freed
  std::size_t BadFrees() const;                  // Free of a block not from AllocZeroed
  std::size_t LiveDeviceSets() const;            // device sets not destroyed
  std::size_t OpenFindWalks() const;             // walks not ended
  // Device-set and walk handles used that were not open (never made, or
  // already destroyed or ended).
  std::size_t BadHandleUses() const;
  // The real file a (GBK, Windows-style) path names on this machine.
  std::filesystem::path Resolve(std::string_view path) const;

  // ----- Services -----

  // -- USB devices --
  void* RegisterUsbDeviceNotification(void* window) override;
  void UnregisterUsbDeviceNotification(void* registration) override;
  DeviceSet GetUsbDeviceSet(std::uint32_t flags) override;
  bool EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) override;
  bool GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                 std::size_t pathSize) override;
  void DestroyDeviceSet(DeviceSet set) override;

  // -- driver installation and the driver store --
  PendingInstalls WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) override;
  void SetNonInteractiveInstalls() override;
  bool UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                    std::uint32_t installFlags, bool* restartNeeded) override;
  int SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                      std::string* storedName = nullptr) override;
  bool RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) override;
  bool StoredInfOrigin(const std::string& storedInf, std::string& originalName) override;

  // -- spooler and printui --
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

  // -- files --
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

  // -- the program's own installation --
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

  // -- the running process --
  bool QueryIsWow64Process(bool& isWow64) override;
  bool QueryNativeMachine(std::uint16_t& machine) override;
  bool EnterProgramFolder() override;
  void Sleep(std::uint32_t milliseconds) override;
  std::uint64_t TickCountMs() override;

  // -- system errors --
  std::uint32_t LastError() override;
  // Texts of the sim_error codes; not recorded, since no logic depends on it.
  std::string ErrorMessage(std::uint32_t code) override;

 private:
  struct Printer {
    std::string name;
    std::string driver;
    std::uint64_t atMs = 0;
    int afterEnumerations = -1;  // listed from size call n+1
    int growsAtSizeCall = 0;    // 0: not a growing entry
    std::optional<std::uint64_t> afterUpdateMs;  // listed this long after an update
    bool pendingDeletion = false;
  };
  struct DeviceSetState {
    std::vector<std::string> paths;
  };
  struct Walk {
    std::vector<FindData> entries;
    std::size_t next = 0;
  };

  void Record(std::string operation, std::vector<std::string> texts = {},
              std::vector<std::uint64_t> numbers = {});
  // The queues listed now, and those of them that use `driver`.
  std::vector<Printer*> ListedQueues();
  std::vector<std::string> QueuesOfDriver(const std::string& driver, bool withPendingDeletion = true);
  // Reads `from` whole for CopyVerifiedFile and HashFile; false with the error set.
  bool ReadWholeLocked(const std::string& from, std::string& content);
  // A name of its own in the same folder for a file in use, scheduled for the restart.
  std::string ScheduleRenamedLocked(const std::filesystem::path& file);
  // Names listed now; `inFill` for the second enumeration call.
  std::vector<std::string> ListedPrinters(bool inFill) const;
  std::filesystem::path ResolveLocked(std::string_view path) const;
  std::uint32_t AttributesOf(const std::filesystem::path& file) const;
  DeviceSetState* FindSet(DeviceSet set);
  void SetError(std::uint32_t error);
  // Counts a call that can fail; true (the error set) when it is the one to fail.
  bool Injected(std::uint32_t error);
  bool NamesAFile(std::string_view path) const;
  // A device the driver update can find: the printer among the USB devices.
  bool PrinterAttached() const;
  static constexpr char kPrinterUsbId[] = "vid_f0e1&pid_c20b";

  mutable std::mutex mutex_;
  std::vector<SimulatedCall> calls_;
  std::map<std::thread::id, std::uint32_t> lastErrors_;
  std::size_t failAtCall_ = 0;
  std::size_t failableCalls_ = 0;
  std::optional<InjectedFailure> injected_;
  std::map<std::string, std::uint32_t> failingOperations_;
  std::map<std::string, std::vector<std::string>> drivers_;
  std::map<std::string, std::string> store_;  // INF content -> stored name
  int nextStoredInf_ = 10;
  bool storeRemovalNeedsRestart_ = false;
  std::set<std::string> filesInUse_;
  std::map<std::string, int> heldFiles_;  // resolved path -> openings still refused
  std::vector<std::string> pendingRemovals_;
  std::set<std::string> foreignPendingRemovals_;
  int renamedFiles_ = 0;
  std::map<std::string, std::string> storeOrigins_;  // stored name -> original INF name
  int spoolerHoldsDriver_ = 0;
  std::string defaultPrinter_;
  std::uint32_t enumerationMs_ = 0;
  bool programCopy_ = false;
  bool runningFromCopy_ = false;
  bool copyAtRestart_ = false;
  std::optional<AppsEntry> appsEntry_;
  std::optional<InstallRecord> installRecord_;

  std::optional<bool> wow64_ = false;
  std::optional<std::uint16_t> nativeMachine_ = 0x8664;

  std::vector<std::string> usbPaths_;
  bool refuseDeviceSet_ = false;
  std::map<std::uint32_t, std::uint32_t> enumFailures_;
  std::map<std::uint32_t, std::uint32_t> detailFailures_;
  std::map<std::uintptr_t, DeviceSetState> deviceSets_;
  std::uintptr_t nextHandle_ = 0x1000;

  bool updateSucceeds_ = true;
  bool updateNeedsRestart_ = false;
  std::uint32_t updateError_ = sim_error::kNoSuchDevinst;
  int failingUpdates_ = 0;
  std::uint32_t failingUpdateError_ = 0;
  std::uint64_t pendingUntilMs_ = 0;
  int updatesDone_ = 0;
  std::optional<std::uint64_t> firstUpdateMs_;
  int infsStored_ = 0;
  int copyOemInfResult_ = 1;
  std::uint32_t copyOemInfError_ = 0;

  std::string driverDirectory_;
  bool driverDirectoryFails_ = false;
  std::string driverDirectoryGarbage_;
  std::uint32_t driverDirectoryError_ = 0;

  std::vector<Printer> printers_;
  int sizeCalls_ = 0;

  int allocationCalls_ = 0;
  std::set<int> failingAllocations_;
  bool failAllAllocations_ = false;
  std::set<void*> liveBlocks_;
  std::size_t badFrees_ = 0;

  std::vector<std::uint32_t> startResults_;
  std::size_t startCalls_ = 0;
  std::uint32_t defaultStartResult_ = kDefaultStartResult;

  std::filesystem::path currentFolder_;
  std::filesystem::path driveRoot_;  // where "C:\\..." lies: the folder a test set
  std::filesystem::path programFolder_;
  std::map<std::string, std::string> writableByOthers_;  // resolved path -> reason
  std::uint32_t commandRunMs_ = 0;
  std::uint32_t commandExitCode_ = 0;
  std::uint32_t fullPathError_ = 0;
  std::map<std::string, std::uint32_t> copyFailures_;
  // Attributes that Linux cannot hold, by resolved path.
  std::map<std::string, std::uint32_t> attributes_;
  std::map<std::uintptr_t, Walk> walks_;
  std::size_t walkFailsAfter_ = SIZE_MAX;
  std::uint32_t walkError_ = 0;
  std::size_t badHandleUses_ = 0;

  std::uint64_t clockMs_ = 0;
  std::vector<std::uint32_t> sleeps_;
};

}  // namespace vornell
