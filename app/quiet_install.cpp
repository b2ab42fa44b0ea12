#include "app/quiet_install.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/exit_codes.h"
#include "engine/driver_directory.h"
#include "engine/engine.h"
#include "engine/installer_state.h"
#include "engine/state_text.h"
#include "platform/error_names.h"
#include "platform/gbk.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/driver_setup.h"
#include "platform/process_calls.h"
#include "platform/spooler.h"
#include "res/version.h"

namespace vornell {

namespace {

// The package beside the program and nowhere else: deployment tools start
// programs in folders any user can write (C:\Windows\Temp), and a package
// planted there must not be what SYSTEM installs. 0 when it may be used,
// else the exit code.
int FindPackage() {
  InstallerState& s = installerState;
  Log& log = GetLog();
  // The wizard's relative paths, from the program's folder: its name may
  // hold letters that GBK cannot spell.
  if (!GetProcessCalls().EnterProgramFolder()) {
    log.Error("the program's folder could not be made the current directory");
    return kExitPackageIncomplete;
  }
  const ProcessFacts facts = GetProcessFacts();
  log.Write("package folder", facts.programFolder + s.driverSourceFolder.substr(1));
  std::string missing;
  const bool complete = CheckDriverPackage([&](const std::string& file, bool found) {
    log.Write(found ? LogLevel::kInfo : LogLevel::kWarning, (found ? "found: " : "missing: ") + file);
    if (!found) missing = file;
  });
  if (!complete) {
    log.Error("the driver package is incomplete; first missing file: " + missing);
    return kExitPackageIncomplete;
  }
  return kExitSuccess;
}

// The checked copy, from which everything after is installed. 0 when it is
// ready, else the exit code.
int CopyPackage(PackageCopyResult& copy) {
  Log& log = GetLog();
  copy = CopyVerifiedPackage([&log](const std::string& line) { log.Write(line); });
  log.Write(copy.outcome == PackageCopyOutcome::kReady ? LogLevel::kInfo : LogLevel::kError, PackageCopyText(copy));
  switch (copy.outcome) {
    case PackageCopyOutcome::kReady:
      return kExitSuccess;
    case PackageCopyOutcome::kDiffers:
      return kExitPackageUntrusted;
    case PackageCopyOutcome::kUnreadable:
    case PackageCopyOutcome::kFailed:
      break;
  }
  return kExitInstallFailed;
}

bool Stage() {
  Log& log = GetLog();
  if (!FetchPrinterDriverDirectory(installerState.printerDriverDirectory)) {
    log.Error("the printer-driver directory could not be had");
    return false;
  }
  log.Write("staging into", PrinterDriverDirectoryText(installerState));
  const bool staged = StageDriverFiles(
      [&log](const std::string& name, StagedFile what) {
        log.Write(what == StagedFile::kCopied ? "staged" : "kept, already there", name);
      },
      0);
  if (!staged) log.Error("a copy failed: nothing more is staged");
  return staged;
}

// Each command awaited, so the log says how it ended; printui's own error
// boxes are off, since nobody could answer them.
void RunPrinterCommands(const CommandLine& command) {
  constexpr std::uint32_t kCommandWaitMs = 60000;
  const std::string& queue = installerState.printerName;
  Spooler& spooler = GetSpooler();
  if (command.setDefault && GetProcessFacts().system) {
    GetLog().Warning("/setdefault acts for the account that runs it: under SYSTEM the printer becomes SYSTEM's own "
                   "default, not a user's; run /setdefault in the user's context");
  }
  CommandEnd end;
  Log& log = GetLog();
  // printui tells nothing of its outcome: the default printer is read back,
  // and of the test page only the asking is known.
  if (command.setDefault) {
    spooler.RunRundll32(BuildPrinterCommandArguments(kMakeDefault, queue, true), kCommandWaitMs, end);
    std::string now;
    const bool known = spooler.DefaultPrinter(now);
    if (known && NamesEqualIgnoreCase(now, queue)) {
      log.Write("the default printer is now", queue);
    } else if (known || spooler.LastError() == kErrorFileNotFound) {
      log.Warning("/setdefault did not make " + queue + " the default printer; the default is: " +
                  (known ? now : std::string("none")));
    } else {
      log.Warning("the default printer could not be read back");
    }
  }
  if (command.testPage) {
    spooler.RunRundll32(BuildPrinterCommandArguments(kPrintTestPage, queue, true), kCommandWaitMs, end);
    log.Write("a test page was asked for; whether it printed only the printer shows");
  }
}

// A success only once the Apps & features entry is there: deployment tools
// detect the install by it, and remove it by its command.
int Recorded(int code) {
  NoteRunStep("recording the installation");
  if (RecordInstallation(installerState.printerName, VORNELL_VERSION_TEXT)) return code;
  GetLog().Error("the Apps & features entry could not be written");
  return kExitInstallFailed;
}

// A refusal for the package's signature or by policy, said so that an
// administrator knows what to change; false for any other error.
bool ExplainRefusal(std::uint32_t error) {
  const KnownError* known = FindDriverRefusal(error);
  if (known == nullptr) return false;
  Log& log = GetLog();
  log.Error(std::string("Windows refused the driver package: ") + known->name + ", " + known->meaning);
  switch (known->refusal) {
    case DriverRefusal::kPublisherNotTrusted:
      log.Write("put the publisher's certificate into the machine's Trusted Publishers store (and its root "
                "into Trusted Root Certification Authorities for a private CA), then install again");
      break;
    case DriverRefusal::kPublisherForbidden:
    case DriverRefusal::kPolicyBlocked:
      log.Write("the machine's policy decides this; ask its administrators");
      break;
    case DriverRefusal::kSignatureInvalid:
    case DriverRefusal::kNone:
      log.Write("the package or its signature is damaged or not for this Windows; get a new installer");
      break;
  }
  return true;
}

// No printer attached: Windows sets the printer up from the driver store
// when it is plugged in.
int AddToStoreOnly() {
  Log& log = GetLog();
  if (!AddDriverToStore(PackageInfPath(installerState))) {
    if (!ExplainRefusal(GetDriverSetup().LastError())) log.Error("the driver could not be put into the driver store");
    return kExitInstallFailed;
  }
  log.Write("the driver is in the driver store; Windows installs the printer when it is plugged in");
  return Recorded(kExitSuccess);
}

// The update did not work: success only where there was no device to
// update and the driver store took the driver instead.
int ReportFailedUpdate(const WorkerSettings& settings) {
  Log& log = GetLog();
  switch (settings.updateError) {
    case kErrorNoSuchDevinst:
      if (installerState.workerStatus == -1) {
        log.Write("no device to update; the driver is in the driver store; Windows installs the printer "
                  "when it is plugged in");
        return Recorded(kExitSuccess);
      }
      log.Error("no device to update, and the driver could not be put into the driver store");
      return kExitInstallFailed;
    case kErrorDeviceInstallBlocked:
      log.Error("the driver update is forbidden by the device installation policy (Computer "
                "Configuration > Administrative Templates > System > Device Installation > Device "
                "Installation Restrictions)");
      return kExitInstallFailed;
    case kErrorRequiresInteractive:
      log.Error("the driver update would need a person to answer, and none is there");
      return kExitInstallFailed;
    default:
      if (!ExplainRefusal(settings.updateError)) {
        log.Error("the driver update failed: " + std::to_string(settings.updateError));
      }
      return kExitInstallFailed;
  }
}

int InstallFromCopy(const CommandLine& command);

}  // namespace

std::uint32_t QuietWaitLimitMs() {
  const char* text = std::getenv("VORNELL_QUEUE_WAIT_MS");
  if (text == nullptr || *text == '\0') return kQuietWaitLimitMs;
  char* end = nullptr;
  const unsigned long long ms = std::strtoull(text, &end, 10);
  if (*end != '\0' || ms >= kQuietWaitLimitMs) return kQuietWaitLimitMs;
  return static_cast<std::uint32_t>(ms);
}

int RunQuietInstall(const CommandLine& command) {
  NoteRunStep("checking the machine");
  if (OnArm64Machine()) {
    GetLog().Error("this driver is for 64-bit x86 Windows only, and this machine is ARM64: nothing is installed");
    return kExitPlatformUnsupported;
  }
  // Nobody is there to answer a prompt of the device installation.
  GetDriverSetup().SetNonInteractiveInstalls();
  DescribeDriverPackage();

  NoteRunStep("checking the package");
  if (const int refused = FindPackage(); refused != kExitSuccess) return refused;
  NoteRunStep("copying and checking the package");
  PackageCopyResult copy;
  if (const int refused = CopyPackage(copy); refused != kExitSuccess) return refused;
  const int code = InstallFromCopy(command);
  // A failed run leaves no copy of its own behind.
  if (code != kExitSuccess && code != kExitRestartNeeded) DiscardPackageCopy(copy);
  return code;
}

namespace {

int InstallFromCopy(const CommandLine& command) {
  InstallerState& s = installerState;
  Log& log = GetLog();
  NoteRunStep("staging the driver files");
  if (!Stage()) return kExitInstallFailed;

  std::string devicePath;
  switch (ProbeUsbPrinter(&devicePath)) {
    case UsbProbeResult::kFound:
      log.Write("printer attached", devicePath);
      break;
    case UsbProbeResult::kAbsent:
      log.Write("no printer attached");
      return AddToStoreOnly();
    case UsbProbeResult::kRefused:
      // Not knowing is not "no printer": the update itself says whether
      // there is a device.
      log.Warning("the system refused the USB device list; the driver update decides");
      break;
    case UsbProbeResult::kFailed:
      log.Warning("the USB device list could not be read to its end; the driver update decides");
      break;
  }

  const std::uint32_t waitLimitMs = QuietWaitLimitMs();
  WorkerSettings settings;
  settings.firstLookMs = 0;
  settings.retryMs = kQuietLookMs;
  settings.looks = std::max(1, static_cast<int>(waitLimitMs / kQuietLookMs));
  settings.reportRestart = true;
  settings.unattended = true;
  settings.pendingInstallsMs = kQuietPendingInstallsMs;
  s.expectedPrinterName = s.printerName;
  NoteRunStep("updating the driver");
  UsbInstallThread(&settings);
  if (settings.installsPending) {
    log.Error("Windows is still installing devices after " + std::to_string(kQuietPendingInstallsMs) +
              " ms; try again later");
    return kExitAnotherInstall;
  }
  if (settings.updateError != 0) return ReportFailedUpdate(settings);

  // A queue seen now counts only because this run's update worked.
  NoteRunStep("waiting for the printer queue");
  PrinterWaitThread(&settings);
  if (settings.foundAtLook < 0) {
    if (settings.restartNeeded) {
      log.Write("the driver update asks for a restart; Windows sets the queue up after it");
      return Recorded(kExitRestartNeeded);
    }
    log.Error("the queue did not appear within " + std::to_string(waitLimitMs) + " ms: " + s.expectedPrinterName);
    return kExitInstallFailed;
  }
  log.Write("queue found after " + std::to_string(settings.foundAtLook * kQuietLookMs) + " ms",
            s.expectedPrinterName);
  const int code = Recorded(settings.restartNeeded ? kExitRestartNeeded : kExitSuccess);
  if (code == kExitInstallFailed) return code;
  NoteRunStep("running the printer commands");
  RunPrinterCommands(command);
  if (settings.restartNeeded) log.Write("the driver update asks for a restart");
  return code;
}

}  // namespace

}  // namespace vornell
