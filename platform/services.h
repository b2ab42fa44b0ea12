#pragma once
// The printer and device services: every operation through which the
// installer changes or looks at the system, as one table. The shipped
// program uses platform/win32 (the real system, through the wide APIs with
// explicit GBK conversion); the native tests use platform/simulated.
//
// All texts are GBK byte strings. The shapes the installer's logic depends
// on stay visible: the two-call printer enumeration, the fixed-size device
// path buffer, "exactly 1" results, start results above 31, last-error codes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vornell {

struct FindData {
  std::string name;  // GBK, no folder
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;  // bytes, for a file
};

// The program's entry in Apps & features (the 64-bit Uninstall key
// "Orvane.Vornell"): what the list shows. GBK.
struct AppsEntry {
  std::string displayName;
  std::string displayVersion;
  std::string publisher;
  std::string programCopy;  // DisplayIcon; the uninstall commands run it
  std::uint32_t estimatedSizeKb = 0;
  // What removal needs, read from an entry that a version before the
  // install record wrote; never written now.
  std::string queueName;
  std::string driverName;
  std::string storedInf;  // the driver store's name of the package's INF (oem<N>.inf)
};

// Who owns the program folder (the program copy and the package copy) and
// the Apps & features entry: the program itself, or Windows Installer, whose
// MSI installed them and shows its own entry.
enum class InstallOwner { kNone, kProgram, kWindowsInstaller };

// What removal needs, kept apart from any Apps & features entry in
// HKLM\Software\Orvane\Vornell (64-bit view), with the owner. GBK.
struct InstallRecord {
  InstallOwner owner = InstallOwner::kNone;
  std::string queueName;
  std::string driverName;
  std::string storedInf;  // the driver store's name of the package's INF (oem<N>.inf)
};

// A file as read whole: its size and SHA-256 (64 lowercase hex digits).
struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;
};

// How the driver package left the driver store.
struct StoreRemoval {
  bool restartNeeded = false;
  std::string how;  // the system call that did it, for the log
};

constexpr std::uint16_t kMachineArm64 = 0xAA64;  // IMAGE_FILE_MACHINE_ARM64
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeArchive = 0x20;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;  // a link, junction or mount point

// SetupAPI and spooler values the installer passes.
constexpr std::uint32_t kDigcfPresent = 0x2;
constexpr std::uint32_t kDigcfDeviceInterface = 0x10;
constexpr std::uint32_t kInstallFlagForce = 0x1;
constexpr std::uint32_t kInstallFlagNonInteractive = 0x4;
constexpr std::uint32_t kSpostPath = 1;
constexpr std::uint32_t kSpCopyNewer = 0x4;
constexpr std::uint32_t kPrinterEnumLocal = 0x2;
constexpr std::uint32_t kPrinterEnumConnections = 0x4;
constexpr std::uint32_t kErrorPrinterAlreadyExists = 1802;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;

// Error codes the logic tells apart.
constexpr std::uint32_t kErrorNoMoreFiles = 18;    // a folder walk is done
constexpr std::uint32_t kErrorNoMoreItems = 259;   // a device list is done
constexpr std::uint32_t kErrorRequiresInteractive = 1459;  // ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION
constexpr std::uint32_t kErrorNoSuchDevinst = 0xE000020B;
constexpr std::uint32_t kErrorDeviceInstallerNotReady = 0xE0000246;
constexpr std::uint32_t kErrorDeviceInstallBlocked = 0xE0000248;
constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorSharingViolation = 32;  // another process holds the file
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr std::uint32_t kErrorBadFileType = 222;  // not a file on disk (a pipe, a device, a link)
constexpr std::uint32_t kErrorInvalidPrinterName = 1801;  // no such queue
constexpr std::uint32_t kErrorUnknownPrinterDriver = 1797;
constexpr std::uint32_t kErrorPrinterDriverInUse = 3001;

// What the wait for Windows' own device installations ends with
// (CMP_WaitNoPendingInstallEvents' values).
enum class PendingInstalls : std::uint32_t {
  kNone = 0,            // WAIT_OBJECT_0: nothing pending (any more)
  kStillPending = 258,  // WAIT_TIMEOUT
  kUnknown = 0xFFFFFFFF,  // WAIT_FAILED, or no such call on this system
};

// How an awaited command ended.
struct CommandEnd {
  bool ended = false;         // false: still running when the wait was over
  std::uint32_t exitCode = 0;  // when it ended
  std::uint32_t tookMs = 0;
};

// A device information set; null when the system refused it.
using DeviceSet = void*;
// A first/next-file walk; null when the walk could not start.
using FindHandle = void*;

class Services {
 public:
  virtual ~Services() = default;

  // --- process and window ---
  // false when the system has no "IsWow64Process" query (then: not WOW64).
  virtual bool QueryIsWow64Process(bool& isWow64) = 0;
  // The machine's own processor (IMAGE_FILE_MACHINE_*: 0x8664 x64, 0xAA64
  // ARM64), which an emulated x64 process does not see otherwise; false
  // when the system has no "IsWow64Process2" (before Windows 10 1709:
  // then it is no ARM64 machine).
  virtual bool QueryNativeMachine(std::uint16_t& machine) = 0;
  // Device-interface notifications for GUID_DEVINTERFACE_USB_DEVICE to the
  // window; the registration, null when refused, is undone when the window ends.
  virtual void* RegisterUsbDeviceNotification(void* window) = 0;
  virtual void UnregisterUsbDeviceNotification(void* registration) = 0;
  // Makes the folder of the program file the current directory, whatever
  // letters its name holds.
  virtual bool EnterProgramFolder() = 0;
  // True when only administrators may write `path` (a file or a folder):
  // its owner is SYSTEM, the Administrators or TrustedInstaller, and no
  // entry of its access list lets any other account write, add, delete or
  // change its permissions. False, with `reason`, otherwise, and when its
  // security cannot be read.
  virtual bool OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) = 0;

  // --- USB device interfaces (GUID_DEVINTERFACE_USB_DEVICE) ---
  virtual DeviceSet GetUsbDeviceSet(std::uint32_t flags) = 0;
  virtual bool EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) = 0;
  // Writes the interface's device path, zero-terminated, into `path`, which
  // holds `pathSize` bytes; false when the call fails or the path does not fit.
  virtual bool GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                         std::size_t pathSize) = 0;
  virtual void DestroyDeviceSet(DeviceSet set) = 0;

  // --- driver installation ---
  // Waits up to `timeoutMs` while Windows is still installing devices (a
  // printer just plugged in); `waitedMs` says how long it took.
  virtual PendingInstalls WaitNoPendingInstalls(std::uint32_t timeoutMs, std::uint32_t& waitedMs) = 0;
  // Device installation in this process shows nothing and asks nobody;
  // what would need a person fails instead (SetupSetNonInteractiveMode).
  virtual void SetNonInteractiveInstalls() = 0;
  // `infPath` may be relative: the system layer makes it a full path
  // against the current directory itself, whatever letters that holds.
  // Non-zero on success; on failure LastError() holds the reason. With
  // `restartNeeded` null the system asks the user about a restart itself;
  // otherwise it asks nobody and says there whether one is needed.
  virtual bool UpdateDriver(const std::string& hardwareId, const std::string& infPath,
                            std::uint32_t installFlags, bool* restartNeeded) = 0;
  // The system's result: exactly 1 when the INF entered the driver store
  // (or is there already, identical: the store never holds it twice).
  // `infPath` as for UpdateDriver. `storedName`, when given, receives the
  // store's name for it ("oem12.inf").
  virtual int SetupCopyOemInf(const std::string& infPath, std::uint32_t mediaType, std::uint32_t copyStyle,
                              std::string* storedName = nullptr) = 0;
  // Takes the package `storedInf` out of the driver store, and off every
  // device installed from it where the system can (DiUninstallDriverW);
  // elsewhere SetupUninstallOEMInfW, forced with `force` even while a
  // device uses it.
  virtual bool RemoveStoredDriver(const std::string& storedInf, bool force, StoreRemoval& removal) = 0;
  // The file name a stored INF had before the store named it ("RX730TP.INF"
  // for "oem12.inf"), from the store's own record.
  virtual bool StoredInfOrigin(const std::string& storedInf, std::string& originalName) = 0;
  virtual std::uint32_t LastError() = 0;
  // The system's own text for an error code, for the log: GBK, in the
  // system's language, without its trailing line break; "Error N" when the
  // system has none. Leaves LastError() as it was.
  virtual std::string ErrorMessage(std::uint32_t code) = 0;

  // --- spooler ---
  // The printer-driver directory of the local machine and the running
  // environment, zero-terminated, in `buffer` of `bufferSize` bytes.
  virtual bool GetDriverDirectory(char* buffer, std::uint32_t bufferSize) = 0;
  // The first of the two enumeration calls (level 4: names from the
  // registry, no remote call; empty name, no buffer): how many bytes the
  // records need.
  virtual std::uint32_t EnumPrintersNeeded(std::uint32_t flags) = 0;
  // The second call: fills `buffer` (`bufferSize` bytes) and hands back the
  // printers' names in list order; false when the records no longer fit
  // (the list grew since the first call) or the call failed.
  virtual bool EnumPrintersFill(std::uint32_t flags, void* buffer, std::uint32_t bufferSize,
                                std::vector<std::string>& names) = 0;
  // The running account's default printer (GetDefaultPrinterW); false,
  // error 2, when it has none.
  virtual bool DefaultPrinter(std::string& name) = 0;
  // Whether the spooler has only marked the local queue `queue` for deletion
  // (jobs still in it), read from that queue alone; false (error 1801) when
  // there is no such queue.
  virtual bool QueueMarkedForDeletion(const std::string& queue, bool& marked) = 0;
  // The printer driver a queue uses; false (error 1801) when there is no such queue.
  virtual bool GetQueueDriver(const std::string& queue, std::string& driver) = 0;
  virtual bool DeleteQueue(const std::string& queue) = 0;
  // Deletes the driver of the running environment with its files that no
  // other driver uses; false with 3001 while a queue uses it, 1797 when
  // there is no such driver.
  virtual bool RemovePrinterDriver(const std::string& driver) = 0;
  // The local queues that use `driver`, by name; a queue the spooler has
  // only marked for deletion (jobs still in it) is not one.
  virtual bool QueuesUsingDriver(const std::string& driver, std::vector<std::string>& queues) = 0;
  // The file names (no folder) that the installed drivers of the running
  // environment use.
  virtual bool ListDriverFiles(std::vector<std::string>& files) = 0;
  // Zero-filled allocation (LocalAlloc with LMEM_ZEROINIT); null on failure.
  virtual void* AllocZeroed(std::size_t bytes) = 0;
  virtual void Free(void* block) = 0;

  // --- printer setup ---
  // Starts the system's own rundll32.exe (by full path in the system
  // directory, hidden, not awaited, current directory the system directory)
  // with `arguments`, the text that follows "rundll32 " in the command line.
  // Above 31 when started; 0 to 31 when not (WinExec's values).
  virtual std::uint32_t StartRundll32(const std::string& arguments) = 0;
  // The same, then waits up to `timeoutMs` for the command to end; a command
  // still running then is left to run.
  virtual std::uint32_t RunRundll32(const std::string& arguments, std::uint32_t timeoutMs, CommandEnd& end) = 0;

  // --- files (names in windows.h are macros, hence the other names) ---
  // `path` made absolute against the process's current directory; false
  // when that fails or the full path has no GBK form.
  virtual bool FullPath(const std::string& path, std::string& full) = 0;
  virtual bool PathExists(const std::string& path) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual std::uint32_t GetAttributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  virtual FindHandle FindFirst(const std::string& pattern, FindData& data) = 0;
  virtual bool FindNext(FindHandle walk, FindData& data) = 0;
  virtual void FindEnd(FindHandle walk) = 0;

  // Deletes a file; one in use is renamed to a name of its own in the same
  // folder, and that name goes at the next restart (`atRestart`), so that
  // a later install of the same file is not deleted by that restart.
  virtual bool RemoveFile(const std::string& path, bool& atRestart) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(const std::string& path) = 0;
  // Renames `from` to `to` in the same volume, replacing a file there.
  virtual bool MoveFileTo(const std::string& from, const std::string& to) = 0;

  // Reads the file `from` once and writes what it read to `to`, created
  // anew (replacing a file there; no read-only flag, no stream but the
  // data), hashing it on the way. `from` is opened without following a
  // link or junction, as nobody else's client (a named pipe learns
  // nothing), shared for reading only, so nobody writes, renames or deletes
  // it meanwhile, and must be a file on disk (else error 222). On failure
  // `to` is gone again.
  virtual bool CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) = 0;
  // The same reading, hashing only.
  virtual bool HashFile(const std::string& path, FileDigest& digest) = 0;

  // --- the program's own installation ---
  // %ProgramFiles%\Orvane\Vornell, without a final backslash: the folder
  // of the program copy and of the verified package copy. Only names it.
  virtual bool ProgramFolder(std::string& folder) = 0;
  // Takes out of the system's list of renames and deletions at the next
  // restart (PendingFileRenameOperations) what earlier removals of ours
  // left there: names in the program folder, and names our removals gave
  // to files in use. Other programs' entries stay. `cleared` says how many.
  virtual bool ClearPendingRemovals(std::uint32_t& cleared) = 0;
  // Copies the running program to ProgramFolder()\Vornell.exe from the
  // handle to its own file that the process opened at start (so a file put
  // under its name since is not what is copied): written under a temporary
  // name, then moved into place (a copy that runs is renamed aside first).
  // The caller has checked the folder. `copyPath` receives its path (also
  // when the running program is that copy, which stays as it is).
  virtual bool InstallProgramCopy(std::string& copyPath) = 0;
  // Deletes that copy and its folders where empty; a copy that runs (the
  // uninstall command of Apps & features starts it) goes at the next restart.
  virtual bool RemoveProgramCopy(bool& atRestart) = 0;
  // The Apps & features entry: written whole (with today's InstallDate and
  // NoModify, NoRepair and the uninstall commands made from programCopy),
  // read back (false, error 2, when there is none) and deleted.
  virtual bool WriteAppsEntry(const AppsEntry& entry) = 0;
  virtual bool ReadAppsEntry(AppsEntry& entry) = 0;
  virtual bool DeleteAppsEntry() = 0;
  // The install record: read (false, error 2, when there is none; an owner
  // value the program does not know reads as Windows Installer's, so that
  // nothing of another owner is touched), written (the removal's values, and
  // the owner when it is the program: the MSI writes its own) and deleted
  // (the removal's values and the program's owner value; the key, and
  // "Orvane" above it, when nothing else is left in them).
  virtual bool ReadInstallRecord(InstallRecord& record) = 0;
  virtual bool WriteInstallRecord(const InstallRecord& record) = 0;
  virtual bool DeleteInstallRecord() = 0;

  // --- time ---
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // Milliseconds since the system started (GetTickCount64): waits end by
  // it, however long one look took. Never fails.
  virtual std::uint64_t TickCountMs() = 0;
};

// The process's services: the real system in the shipped program; tests
// put a simulated machine in its place.
Services& GetServices();
void SetServices(Services* services);

}  // namespace vornell
