// Every call that can fail, made to fail in turn, one run per call, through
// the program's real start-up and its real log: the unattended install with
// and without a printer, as SYSTEM, the wizard's happy route, and the
// unattended removal of an install. Whatever fails, the outcome must be
// true: an install succeeds only when all eight files are staged and this
// run's update (with no printer, the driver store) worked, a removal only
// when nothing of the install is left; a failed look
// at the printer list, a printer command or an attribute call does not
// fail a good install; nothing is left open; no pause runs away; the log
// names the call that failed and its error.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/vornell_app.h"
#include "engine/installer_state.h"
#include "engine_test_support.h"
#include "framework/headless/headless.h"
#include "platform/simulated/simulated_process.h"
#include "res/resource.h"

namespace vornell {
namespace {

using namespace engine_test;

constexpr char kPrinterPath[] =
    "\\\\?\\usb#vid_f0e1&pid_c20b#0000RX730T#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

struct Route {
  const char* name;
  bool wizard;
  bool printer;
  bool removal;
  std::uint64_t clockLimitMs;  // the longest the route may pause in all
};

const Route kRoutes[] = {
    {"/quiet, printer attached", false, true, false, 121000},
    {"/quiet, no printer", false, false, false, 1000},
    {"wizard, happy route", true, true, false, 34000},
    {"/uninstall /quiet", false, true, true, 1000},
};

const std::vector<std::string> kModelFiles = {"RX730TP.INF", "RX730TP.dll", "RX730TP.gpd"};

// What an install left: both queues on the model's driver, the package in
// the store, the model's files staged, the entry and the program copy.
void Installed(SimulatedMachine& machine, const fs::path& package, const fs::path& spool) {
  machine.AddPrinter(kUsbQueue);
  machine.AddPrinter(kLptQueue, kUsbQueue);
  machine.AddPrinterDriver(kUsbQueue, {"RX730TP.dll", "RX730TP.gpd", "UNIDRV.DLL"});
  AppsEntry entry;
  machine.SetupCopyOemInf(".\\x64\\driver\\RX730TP.INF", kSpostPath, kSpCopyNewer, &entry.storedInf);
  entry.programCopy = SimulatedMachine::kProgramCopy;
  entry.queueName = kUsbQueue;
  entry.driverName = kUsbQueue;
  machine.SetAppsEntry(entry);
  machine.SetProgramCopy(true, false);
  fs::create_directories(spool / "3");
  for (const std::string& name : kModelFiles) fs::copy_file(package / name, spool / "3" / name);
}

bool NothingLeft(const SimulatedMachine& machine, const fs::path& spool) {
  bool left = !machine.QueueNames().empty() || !machine.PrinterDrivers().empty() ||
              !machine.StoredInfs().empty() || machine.Entry().has_value() || machine.HasProgramCopy();
  for (const std::string& name : kModelFiles) left = left || fs::exists(spool / "3" / name);
  return !left;
}

// Calls whose failure must not change a good install's outcome. The
// attributes of the package copy's folders are not among them: a folder
// that cannot be seen to be a real one is not used.
bool Inessential(const InjectedFailure& call) {
  const std::string& operation = call.operation;
  if (operation == "GetAttributes" && call.text.starts_with("C:\\Program Files\\")) return false;
  for (const char* name : {"EnumPrintersNeeded", "EnumPrintersFill", "AllocZeroed", "StartRundll32", "RunRundll32",
                           "GetAttributes", "SetAttributes", "QueryIsWow64Process", "QueryNativeMachine",
                           "WaitNoPendingInstalls", "DefaultPrinter"}) {
    if (operation == name) return true;
  }
  return false;
}

struct Outcome {
  bool success = false;
  int exitCode = 0;
  bool workDone = false;  // all the route promises: staged and installed, or removed
  std::uint64_t clockMs = 0;
  std::size_t failableCalls = 0;
  std::optional<InjectedFailure> injected;
  std::string log;
  WizardStep lastStep = WizardStep::kStart;
};

Outcome RunRoute(const Route& route, std::size_t failAt) {
  ScopedTempFolder folder;
  SimulatedMachine machine;
  machine.SetCurrentFolder(folder.path());
  const fs::path spool = folder.MakeFolder("spool/drivers/x64");
  machine.SetDriverDirectory(spool.string());
  const fs::path sample = fs::path(VORNELL_SOURCE_DIR) / "tests/fixtures/package/x64/driver";
  fs::create_directories(folder.path() / "x64/driver");
  for (const std::string& name : kPackageFiles) fs::copy_file(sample / name, folder.path() / "x64/driver" / name);
  if (route.printer) machine.SetUsbDevicePaths({kPrinterPath});
  if (route.removal) {
    Installed(machine, folder.path() / "x64/driver", spool);
  } else if (route.printer) {
    machine.AddPrinterAfterUpdate(kUsbQueue, 2000);
  }
  const ProcessFacts before = GetProcessFacts();
  ProcessFacts facts = before;
  facts.programFolder = folder.path().string();
  facts.system = !route.wizard;  // as deployment tools run it
  SetSimulatedProcessFacts(facts);
  installerState = InstallerState{};
  SetServices(&machine);
  machine.FailCallAt(failAt);

  if (route.wizard) {
    headless::SetModalScript(IDD_VORNELL_DIALOG, [](Dialog& d) {
      headless::HeadlessWindow& window = headless::Headless(d);
      for (int i = 0; i < 4; ++i) {
        // Whatever box a failure brings: Yes leaves, OK goes on.
        window.ScriptAnswer([](const headless::MessageBoxRecord& box) { return box.type & kMbYesNo ? kIdYes : kIdOk; });
      }
      // Through the pages: a failed probe holds the retry page, whose Next probes again.
      for (int click = 0; click < 8 && !window.ended(); ++click) {
        if (!headless::ClickIfEnabled(d, IDC_NEXT)) break;
      }
    });
    theApp.arguments = {};
  } else if (route.removal) {
    theApp.arguments = {L"/uninstall", L"/quiet"};
  } else {
    theApp.arguments = {L"/quiet", L"/setdefault", L"/testpage"};
  }
  theApp.InitInstance();

  Outcome run;
  run.exitCode = theApp.exitCode;
  run.success = route.wizard ? installerState.step == WizardStep::kFinish
                             : theApp.exitCode == 0 || theApp.exitCode == 3010;
  if (route.removal) {
    run.workDone = NothingLeft(machine, spool);
  } else {
    run.workDone = route.printer ? machine.DriverUpdatesDone() > 0 : machine.InfsStored() > 0;
    for (const std::string& name : kPackageFiles) {
      run.workDone = run.workDone && ReadAll(spool / "3" / name) == ReadAll(sample / name);
    }
  }
  run.clockMs = machine.NowMs();
  run.failableCalls = machine.FailableCalls();
  run.injected = machine.Injection();
  run.log = ProcessLog().Text();
  run.lastStep = installerState.step;
  ExpectNothingLeftOpen(machine);
  SetSimulatedProcessFacts(before);
  SetServices(nullptr);
  theApp.arguments = {};
  theApp.exitCode = 0;
  installerState = InstallerState{};
  return run;
}

// A log line that names the call and its error.
bool LogNames(const std::string& log, const InjectedFailure& failure) {
  const std::string error = "error " + std::to_string(failure.error) + " ";
  std::size_t at = 0;
  while ((at = log.find(failure.operation + "(", at)) != std::string::npos) {
    const std::size_t end = log.find('\n', at);
    if (log.substr(at, end - at).find(error) != std::string::npos) return true;
    at = end;
  }
  return false;
}

TEST(FaultSweep, EveryFailingCallLeavesATrueOutcome) {
  std::printf("| Route | Runs | Success | Failure | False success | Good install failed | Log silent | Clock over |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (const Route& route : kRoutes) {
    SCOPED_TRACE(route.name);
    const Outcome clean = RunRoute(route, 0);
    ASSERT_TRUE(clean.success && clean.workDone) << clean.log;
    std::map<std::string, int> verdicts;
    for (std::size_t k = 1; k <= clean.failableCalls; ++k) {
      const Outcome run = RunRoute(route, k);
      ASSERT_TRUE(run.injected.has_value()) << "call " << k;
      const std::string& call = run.injected->operation;
      SCOPED_TRACE("call " + std::to_string(k) + ": " + call);
      ++verdicts[run.success ? "success" : "failure"];
      const bool falseSuccess = run.success && !run.workDone;
      const bool goodInstallFailed = Inessential(*run.injected) && (!run.success || run.exitCode != clean.exitCode);
      const bool logSilent = !LogNames(run.log, *run.injected);
      const bool clockOver = run.clockMs > route.clockLimitMs;
      verdicts["false success"] += falseSuccess;
      verdicts["good install failed"] += goodInstallFailed;
      verdicts["log silent"] += logSilent;
      verdicts["clock over"] += clockOver;
      EXPECT_FALSE(falseSuccess) << run.log;
      EXPECT_FALSE(goodInstallFailed) << "exit code " << run.exitCode;
      EXPECT_FALSE(logSilent) << run.log;
      EXPECT_LE(run.clockMs, route.clockLimitMs);
      // A failed install or removal ends its log with what Windows' device
      // installation wrote meanwhile; a success, or a wizard left before
      // its install page, does not.
      const bool failedInstall = route.wizard ? run.lastStep == WizardStep::kInstall ||
                                                    run.lastStep == WizardStep::kFailure ||
                                                    run.lastStep == WizardStep::kLeaveAfterFailure
                                              : !run.success;
      EXPECT_EQ(run.log.find("Windows' device-installation log") != std::string::npos, failedInstall)
          << "wizard on step " << static_cast<int>(run.lastStep) << "\n" << run.log;
    }
    std::printf("| %s | %zu | %d | %d | %d | %d | %d | %d |\n", route.name, clean.failableCalls,
                verdicts["success"], verdicts["failure"], verdicts["false success"],
                verdicts["good install failed"], verdicts["log silent"], verdicts["clock over"]);
  }
}

}  // namespace
}  // namespace vornell
