#include "app/quiet_install.h"

#include <string>

#include "app/exit_codes.h"
#include "engine/driver_directory.h"
#include "engine/engine.h"
#include "engine/installer_state.h"
#include "engine/state_text.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/services.h"

namespace vornell {

namespace {

// The package folder in use: the current directory's, else the one beside
// the program. False, with the first missing file logged, when neither is
// complete.
bool FindPackage() {
  InstallerState& s = installerState;
  Log& log = GetLog();
  const std::string relative = s.driverSourceFolder;
  std::string firstMissing;
  const auto check = [&](const std::string& folder) {
    s.driverSourceFolder = folder;
    log.Write("package folder", folder);
    std::string missing;
    const bool complete = CheckDriverPackage([&](const std::string& file, bool found) {
      log.Write(found ? "found" : "missing", file);
      if (!found) missing = file;
    });
    if (!complete && firstMissing.empty()) firstMissing = missing;
    return complete;
  };
  if (check(relative)) return true;
  // Not every deployment tool starts the program in its own folder.
  const std::string programFolder = GetProcessFacts().programFolder;
  if (!programFolder.empty() && check(programFolder + "\\" + relative.substr(relative.find_first_not_of(".\\")))) {
    return true;
  }
  s.driverSourceFolder = relative;
  log.Write("the driver package is incomplete; first missing file", firstMissing);
  return false;
}

bool Stage() {
  Log& log = GetLog();
  if (!FetchPrinterDriverDirectory(installerState.printerDriverDirectory)) {
    log.Write("the printer-driver directory could not be had");
    return false;
  }
  log.Write("staging into", PrinterDriverDirectoryText(installerState));
  const bool staged = StageDriverFiles(
      [&log](const std::string& name, StagedFile what) {
        log.Write(what == StagedFile::kCopied ? "staged" : "kept, already there", name);
      },
      0);
  if (!staged) log.Write("a copy failed: nothing more is staged");
  return staged;
}

void RunPrinterCommands(const CommandLine& command) {
  const std::string& queue = installerState.printerName;
  Services& services = GetServices();
  if (command.setDefault) services.StartRundll32(BuildPrinterCommandArguments(kMakeDefault, queue));
  if (command.testPage) services.StartRundll32(BuildPrinterCommandArguments(kPrintTestPage, queue));
}

}  // namespace

int RunQuietInstall(const CommandLine& command) {
  InstallerState& s = installerState;
  Log& log = GetLog();
  DescribeDriverPackage();

  if (!FindPackage()) return kExitPackageIncomplete;
  if (!Stage()) return kExitInstallFailed;

  std::string devicePath;
  const UsbProbeResult probe = ProbeUsbPrinter(&devicePath);
  if (probe == UsbProbeResult::kFound) {
    log.Write("printer attached", devicePath);
  } else {
    log.Write(probe == UsbProbeResult::kRefused ? "the system refused the USB device list; no printer seen"
                                                : "no printer attached");
  }

  if (probe != UsbProbeResult::kFound) {
    // Windows sets the printer up from the driver store when it is plugged in.
    if (!AddStagedDriverToStore(StagedInfPath(s))) {
      log.Write("the driver could not be put into the driver store");
      return kExitInstallFailed;
    }
    log.Write("the driver is in the driver store; Windows installs the printer when it is plugged in");
    return kExitSuccess;
  }

  WorkerSettings settings;
  settings.firstLookMs = 0;
  settings.retryMs = kQuietLookMs;
  settings.looks = static_cast<int>(kQuietWaitLimitMs / kQuietLookMs);
  settings.reportRestart = true;
  s.expectedPrinterName = s.printerName;
  UsbInstallThread(&settings);
  if (s.workerStatus == -1) log.Write("the driver update failed; the driver went into the driver store");
  PrinterWaitThread(&settings);
  // Unlike the wizard, which trusts an update that said it succeeded, a
  // deployment is done only when the queue is there to use.
  if (settings.foundAtLook < 0) {
    log.Write("the queue did not appear within " + std::to_string(kQuietWaitLimitMs) + " ms",
              s.expectedPrinterName);
    return kExitInstallFailed;
  }
  log.Write("queue found after " + std::to_string(settings.foundAtLook * kQuietLookMs) + " ms",
            s.expectedPrinterName);
  RunPrinterCommands(command);
  if (settings.restartNeeded) {
    log.Write("the driver update asks for a restart");
    return kExitRestartNeeded;
  }
  return kExitSuccess;
}

}  // namespace vornell
