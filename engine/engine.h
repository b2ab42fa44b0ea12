#pragma once
// The driver installation engine: the package check, the file staging, the
// USB probe and the three worker threads. Everything here reaches the system
// through the platform's interface for the concern at hand (GetFiles(),
// GetSpooler(), ...) and knows no window: progress travels by callbacks,
// results by return values and installerState.workerStatus, so the wizard
// and the unattended mode drive the same engine.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/installer_state.h"
#include "platform/own_installation.h"

namespace vornell {

// The device path piece that carries the USB vendor and product text: it
// starts after "\\?\usb#" and is as long as that text.
constexpr std::size_t kUsbPathPrefixLength = 8;
constexpr std::size_t kUsbMatchLength = 17;

// Left by the parallel-port worker when its command started (or the start
// result was 0): only the registration wait, on finding the queue, can turn
// it into success. ERROR_PRINTER_NOT_FOUND, neither 0 nor 1802 nor 1..31.
constexpr std::int32_t kParallelQueueNotSeen = 3012;

// Completes the package description of installerState: the source folder
// for this process's bitness, the USB match text, the hardware ID and the
// model's own file names.
void DescribeDriverPackage();

// True on a 64-bit ARM machine: the program runs there emulated, but an x64
// printer driver cannot load in the ARM64 spooler.
bool OnArm64Machine();

// Every file of driverFiles, and the catalog the INF names, exists under
// driverSourceFolder (a folder of the name counts). Stops at the first one missing; `report`, when given, hears
// of each file looked at, found or not.
using PackageReport = std::function<void(const std::string& file, bool found)>;
bool CheckDriverPackage(const PackageReport& report = nullptr);

// How the package came to be where only administrators can write.
enum class PackageCopyOutcome {
  kReady,       // driverSourceFolder now names the checked copy
  kDiffers,     // a file is missing or not the manifest's: the package is not ours
  kUnreadable,  // a file could not be read (held by another program)
  kFailed,      // the copy's folder could not be had or used
};
struct PackageCopyResult {
  PackageCopyOutcome outcome = PackageCopyOutcome::kFailed;
  std::string file;  // the file, or folder, it is about
  std::string what;  // what differed or failed, for the log
  std::uint32_t error = 0;
  bool inPlace = false;  // the package folder was the copy's own: checked there, not copied
  // The package folder the copy was made from, which a discarded copy hands back.
  std::string packageFolder;
  std::string copyFolder;  // where the copy is, without a final backslash
  // The folders this run made, outermost first: a failed run removes them.
  std::vector<std::string> createdFolders;
};
using PackageNote = std::function<void(const std::string& line)>;
// A file another program holds is tried this often, this far apart.
constexpr int kHeldFileTries = 3;
constexpr std::uint32_t kHeldFileRetryMs = 1000;

// The checked copy's folder in the program folder ProgramFolder() names.
std::string PackageCopyFolder(const std::string& programFolder);
// Copies the manifest's files from driverSourceFolder into the program
// folder's x64\driver\ (checked where they are when that is the package
// folder), each read once and compared with installerState.packageManifest,
// then points driverSourceFolder there. Other files of the package folder
// are never copied, and the copy keeps only the manifest's files.
PackageCopyResult CopyVerifiedPackage(const PackageNote& note = nullptr);
// What became of the copy, in one line for the log.
std::string PackageCopyText(const PackageCopyResult& copy);
// After a failed run: the copy goes with the folders this run made; one an
// earlier install made stays.
void DiscardPackageCopy(const PackageCopyResult& copy);
// Deletes every file of `folder` (not its subfolders); a folder that is not
// there has none. False at the first file that could not be deleted.
bool RemoveFilesOf(const std::string& folder);

// One file of the package dealt with by the staging: copied, or already in
// the driver directory and left as it is.
enum class StagedFile { kCopied, kKept };
using StagingProgress = std::function<void(const std::string& name, StagedFile what)>;
// The pause after each file, so the user sees the bar move.
constexpr std::uint32_t kStagingPauseMs = 100;

// Copies the package's files into printerDriverDirectory, reporting each
// file after `pauseMs`; existing files stay as they are. False when a copy
// failed (earlier copies stay), or when the package folder could not be
// walked to its end: only a whole package counts as staged.
bool StageDriverFiles(const StagingProgress& progress, std::uint32_t pauseMs = kStagingPauseMs);

enum class UsbProbeResult {
  kFound,    // printerDetected is now 1
  kAbsent,   // the whole list was walked: no such printer attached
  kRefused,  // the system refused the device list
  kFailed,   // the list could not be walked to its end: nothing is known
};
// Walks the present USB device interfaces for usbMatchId; sets
// printerDetected to 1 when found, never clears it. `devicePath`, when
// given, receives the path of the device found.
UsbProbeResult ProbeUsbPrinter(std::string* devicePath = nullptr);

// What the worker threads need besides the shared record; their parameter
// points to one (null: the wizard's).
struct WorkerSettings {
  // The registration wait: the first look after firstLookMs, at most
  // `looks` looks, with a pause of retryMs after each that misses.
  std::uint32_t firstLookMs = 7000;
  int looks = 20;
  std::uint32_t retryMs = 1000;
  // The parallel-port worker's time for the printer setup to finish.
  std::uint32_t setupGraceMs = 12000;
  // How long the USB worker waits for Windows' own device installations
  // (a printer just plugged in) before it updates the driver.
  std::uint32_t pendingInstallsMs = 60000;
  // The driver update: false lets the system ask the user about a restart
  // itself; true asks nobody and leaves the answer in restartNeeded.
  bool reportRestart = false;
  bool restartNeeded = false;
  // Nobody to answer: no prompt may wait, and the update stops rather than
  // run while Windows is still installing devices.
  bool unattended = false;
  // Left by the USB worker: the update's error (0 when it worked), and
  // whether it did not run because Windows was still installing devices.
  std::uint32_t updateError = 0;
  bool installsPending = false;
  // Left by the registration wait: the look that saw the queue, from 0; -1
  // when none did.
  int foundAtLook = -1;
};
inline constexpr WorkerSettings kWizardWorkers{};

// Puts the package's INF into the driver store, from which Windows sets the
// printer up when it is plugged in. Only the system's exact 1 is success.
bool AddDriverToStore(const std::string& infPath, std::string* storedName = nullptr);

// Who owns the program folder and the Apps & features entry, read anew on
// every run from the install record: under Windows Installer the program
// neither copies, moves nor deletes the MSI's files nor writes an entry of
// its own. A record that cannot be read counts as Windows Installer's.
InstallOwner ProgramFolderOwner();

// After a successful install: the install record (the queue `queue`, empty
// when Windows sets it up later, its driver and the driver store's name of
// the package's INF), and where the program owns its folder the program
// copy under Program Files and the Apps & features entry, written anew on
// every install; under an MSI, whose entry is the one that shows, an entry
// an earlier install of the program wrote goes. False when any of it could
// not be had.
bool RecordInstallation(const std::string& queue, const char* version);

// Undoes what an install did, in this order: the queues (the USB one and
// the parallel-port one), the driver they used, the package in the driver
// store, the model's own staged files that no driver uses, the Apps &
// features entry and the program copy. Stops at the first step that fails,
// so that the entry stays for another try. Nothing installed is a success.
struct RemovalResult {
  bool removed = false;
  bool restartNeeded = false;  // something in use goes at the next restart
  std::string failedStep;      // when not removed: what failed, for the log
  std::uint32_t error = 0;
};
using RemovalNote = std::function<void(const std::string& line)>;
RemovalResult RemoveInstallation(const RemovalNote& note);

// Worker threads (framework WorkerProc). Each writes workerStatus and
// returns it as the exit code.
std::uint32_t UsbInstallThread(void* settings);
std::uint32_t ParallelInstallThread(void* settings);
std::uint32_t PrinterWaitThread(void* settings);

// Pure helpers, kept apart so they can be tested and fuzzed alone.
bool UsbPathMatches(std::string_view devicePath, std::string_view matchId);
// The text after "rundll32 " of the parallel-port install command, naming
// the package's INF by `infPath`.
std::string BuildParallelInstallArguments(const InstallerState& state, const std::string& infPath);
// The text after "rundll32 " of a command for an installed queue, the queue
// name in double quotes: make it the default printer, or print a test page.
// `quiet` adds printui's /q: no error box, which nobody could answer in an
// unattended run.
inline constexpr char kMakeDefault[] = "/y";
inline constexpr char kPrintTestPage[] = "/k";
std::string BuildPrinterCommandArguments(const char* option, const std::string& queue, bool quiet = false);
// The package's INF as a full path: the command runs in the system
// directory, where the package's relative path names nothing. False when
// the path cannot be resolved or has no GBK form.
bool ResolvePackageInf(const InstallerState& state, std::string& infPath);

}  // namespace vornell
