// The unattended mode against the simulated machine and a real temporary
// folder: each outcome's exit code, what it leaves behind, the registration
// wait's limit on the virtual clock, and the start-up that leads to it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <utility>
#include <string>
#include <vector>

#include "app/exit_codes.h"
#include "app/quiet_install.h"
#include "app/vornell_app.h"
#include "engine/installer_state.h"
#include "engine_test_support.h"
#include "framework/headless/headless.h"
#include "platform/simulated/simulated_process.h"

namespace vornell {
namespace {

using namespace engine_test;

constexpr char kPrinterPath[] =
    "\\\\?\\usb#vid_f0e1&pid_c20b#0000RX730T#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

class QuietInstallTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    installerState = InstallerState{};  // as the program starts: no package description yet
    spool = folder.MakeFolder("spool/drivers/x64");
    machine.SetDriverDirectory(spool.string());
    ProcessFacts facts = GetProcessFacts();
    facts.programFolder = (folder.path() / "program").string();
    facts.system = false;  // a person's run, unless a test says otherwise
    SetSimulatedProcessFacts(facts);
    SetInstallLockHeldElsewhere(false);
  }

  int Run(bool setDefault = false, bool testPage = false) {
    CommandLine command;
    command.mode = RunMode::kQuiet;
    command.setDefault = setDefault;
    command.testPage = testPage;
    return RunQuietInstall(command);
  }

  std::vector<std::string> Started() const { return TextsOf("StartRundll32"); }

  std::filesystem::path spool;
};

// Success only where this run's update worked (or, with no device to
// update, the driver store took the driver): a queue left by an earlier
// install proves nothing.
TEST_F(QuietInstallTest, EachOutcomeHasItsExitCode) {
  CopySamplePackage();
  constexpr std::uint32_t kBlocked = 0xE0000248;
  struct Case {
    const char* what;
    std::function<void(SimulatedMachine&)> script;
    int exitCode;
    bool stored;  // the driver store stood in for the update
  };
  const auto printer = [](SimulatedMachine& m) { m.SetUsbDevicePaths({kPrinterPath}); };
  const auto queueAfterUpdate = [](SimulatedMachine& m) { m.AddPrinterAfterUpdate(kUsbQueue, 1000); };
  const Case cases[] = {
      {"printer, its queue after the update",
       [&](SimulatedMachine& m) { printer(m), queueAfterUpdate(m); }, kExitSuccess, false},
      {"the update asks for a restart",
       [&](SimulatedMachine& m) { printer(m), queueAfterUpdate(m), m.SetUpdateNeedsRestart(true); },
       kExitRestartNeeded, false},
      {"a restart is needed and the queue comes only after it",
       [&](SimulatedMachine& m) { printer(m), m.SetUpdateNeedsRestart(true); }, kExitRestartNeeded, false},
      {"the update failed beside an old queue",
       [&](SimulatedMachine& m) { printer(m), m.AddPrinter(kUsbQueue), m.SetUpdateDriverResult(false, 5); },
       kExitInstallFailed, false},
      {"the update found no device: the driver store",
       [&](SimulatedMachine& m) { printer(m), m.SetUpdateDriverResult(false, sim_error::kNoSuchDevinst); },
       kExitSuccess, true},
      {"no device, and the store refused",
       [&](SimulatedMachine& m) {
         printer(m), m.SetUpdateDriverResult(false, sim_error::kNoSuchDevinst), m.SetCopyOemInfResult(0);
       },
       kExitInstallFailed, true},
      {"a device-installation policy forbids it",
       [&](SimulatedMachine& m) { printer(m), m.SetUpdateDriverResult(false, kBlocked); }, kExitInstallFailed,
       false},
      {"printer attached, queue never came", printer, kExitInstallFailed, false},
      {"no printer: the driver store", [](SimulatedMachine&) {}, kExitSuccess, true},
      {"no printer, the store refused", [](SimulatedMachine& m) { m.SetCopyOemInfResult(0); },
       kExitInstallFailed, true},
      {"device list refused: the update decides",
       [&](SimulatedMachine& m) { printer(m), m.RefuseDeviceSet(true), queueAfterUpdate(m); }, kExitSuccess,
       false},
      {"device list broken midway, no device to update",
       [&](SimulatedMachine& m) {
         printer(m), m.FailEnumAt(0, sim_error::kNotEnoughMemory),
             m.SetUpdateDriverResult(false, sim_error::kNoSuchDevinst);
       },
       kExitSuccess, true},
      {"Windows still installs devices after 300 s",
       [&](SimulatedMachine& m) { printer(m), queueAfterUpdate(m), m.SetInstallsPendingUntil(400000); },
       kExitAnotherInstall, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // A machine of its own: queues, once added, stay.
    SimulatedMachine m;
    m.SetCurrentFolder(folder.path());
    m.SetDriverDirectory(spool.string());
    SetServices(&m);
    std::filesystem::remove_all(spool / "3");
    installerState = InstallerState{};
    c.script(m);

    EXPECT_EQ(Run(), c.exitCode);
    EXPECT_EQ(m.DriverUpdatesDone() == 0 && m.CountOf("SetupCopyOemInf") >= 1, c.stored) << "the store stood in";
    EXPECT_EQ(m.Entry().has_value(), c.exitCode == kExitSuccess || c.exitCode == kExitRestartNeeded)
        << "an Apps & features entry for every success, and only then";
    for (const std::string& name : kPackageFiles) EXPECT_TRUE(std::filesystem::exists(spool / "3" / name)) << name;
    for (const SimulatedCall& update : m.CallsOf("UpdateDriver")) {
      EXPECT_EQ(update.numbers, (std::vector<std::uint64_t>{kInstallFlagForce | kInstallFlagNonInteractive, 1}))
          << "nobody is asked, about a restart or anything else";
    }
    EXPECT_EQ(m.CountOf("SetNonInteractiveInstalls"), 1u);
    EXPECT_EQ(m.CountOf("StartRundll32"), 0u);
    ExpectNothingLeftOpen(m);
    SetServices(&machine);
  }
}

// No pause for show: no pause per file, none before the first look; the
// wait for a queue that never comes looks every 250 ms and gives up at
// 120 s, or earlier where the environment asks for it.
TEST_F(QuietInstallTest, WaitLooksEveryQuarterSecondUpToTwoMinutes) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  EXPECT_EQ(Run(), kExitInstallFailed);
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(480, 250));
  EXPECT_EQ(machine.NowMs(), 120000u);

  // A queue that appears just before the limit is still seen.
  installerState = InstallerState{};
  std::filesystem::remove_all(spool / "3");
  machine.AddPrinterAtTime(kUsbQueue, machine.NowMs() + 119750);
  EXPECT_EQ(Run(), kExitSuccess);

  for (const auto& [text, limit] : {std::pair{"1000", 1000u}, {"500000", 120000u}, {"12x", 120000u}}) {
    setenv("VORNELL_QUEUE_WAIT_MS", text, 1);
    EXPECT_EQ(QuietWaitLimitMs(), limit) << text;
  }
  unsetenv("VORNELL_QUEUE_WAIT_MS");
}

// An earlier version's INF kept in the driver directory by the staging is
// never what gets installed: the update and the store get the package's.
TEST_F(QuietInstallTest, OlderInfKeptInTheDriverDirectoryIsNotInstalled) {
  const std::filesystem::path package = CopySamplePackage();
  const std::string packageInf = ReadAll(package / "RX730TP.INF");
  for (const bool attached : {true, false}) {
    SCOPED_TRACE(attached ? "update" : "driver store");
    machine.ClearCalls();
    installerState = InstallerState{};
    folder.WriteFile(spool / "3" / "RX730TP.INF", "; an older version\r\n");
    machine.SetUsbDevicePaths(attached ? std::vector<std::string>{kPrinterPath} : std::vector<std::string>{});
    if (attached) machine.AddPrinterAfterUpdate(kUsbQueue);
    EXPECT_EQ(Run(), kExitSuccess);
    const std::string given = TextsOf(attached ? "UpdateDriver" : "SetupCopyOemInf", attached ? 1 : 0).at(0);
    EXPECT_EQ(ReadAll(machine.Resolve(given)), packageInf) << given;
  }
}

TEST_F(QuietInstallTest, IncompletePackageStagesNothing) {
  const std::filesystem::path package = CopySamplePackage();
  std::filesystem::remove(package / "UNIDRV.HLP");
  machine.SetUsbDevicePaths({kPrinterPath});
  EXPECT_EQ(Run(), kExitPackageIncomplete);
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
  EXPECT_EQ(machine.CountOf("CreateFolder"), 0u);
  EXPECT_FALSE(std::filesystem::exists(spool / "3"));
  EXPECT_EQ(machine.CountOf("UpdateDriver"), 0u);
}

// The package comes from beside the program only, never from the current
// directory, where anyone may have planted one; and only as the program
// knows it: a file that differs is refused whoever could have written it.
TEST_F(QuietInstallTest, PackageComesFromBesideTheProgramOnlyAndOnlyAsBuilt) {
  const std::filesystem::path planted = CopySamplePackage();
  folder.WriteFile("x64/driver/RX730TP.gpd", "*% planted");
  const std::filesystem::path program = CopySamplePackage("program/x64/driver");
  machine.SetProgramFolder(folder.path() / "program");
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinterAfterUpdate(kUsbQueue);
  EXPECT_EQ(Run(), kExitSuccess);
  for (const std::string& name : kPackageFiles) {
    EXPECT_EQ(ReadAll(spool / "3" / name), ReadAll(program / name)) << name;
  }

  // One byte more, or the same size with other bytes: refused before
  // anything is staged, with one line naming the file.
  ProcessFacts facts = GetProcessFacts();
  facts.system = true;
  SetSimulatedProcessFacts(facts);
  const std::string original = ReadAll(program / "RX730TP.dll");
  std::string sameSize = original;
  sameSize[0] ^= 0x20;
  for (const std::string& changed : {original + "x", sameSize}) {
    SimulatedMachine m;
    m.SetCurrentFolder(folder.path());
    m.SetProgramFolder(folder.path() / "program");
    m.SetDriverDirectory(spool.string());
    m.SetUsbDevicePaths({kPrinterPath});
    SetServices(&m);
    std::filesystem::remove_all(spool / "3");
    std::filesystem::remove_all(m.Resolve(SimulatedMachine::kProgramFolder));
    folder.WriteFile("program/x64/driver/RX730TP.dll", changed);
    installerState = InstallerState{};
    OpenProcessLog(L"C:\\Temp\\Vornell.log");
    EXPECT_EQ(Run(), kExitPackageUntrusted);
    EXPECT_EQ(m.CountOf("CopyFileTo"), 0u);
    EXPECT_EQ(m.CountOf("UpdateDriver"), 0u);
    EXPECT_EQ(m.CountOf("SetupCopyOemInf"), 0u);
    EXPECT_FALSE(std::filesystem::exists(m.Resolve(SimulatedMachine::kProgramFolder))) << "the run's copy is gone";
    const std::vector<std::string> lines = ProcessLog().Lines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                              return line.find("not the one this program was made for") != std::string::npos &&
                                     line.find("RX730TP.dll") != std::string::npos;
                            }),
              1);
  }
  SetServices(&machine);
  folder.WriteFile("program/x64/driver/RX730TP.dll", original);

  // Only the planted package: nothing is taken from the current directory.
  std::filesystem::remove_all(program);
  installerState = InstallerState{};
  EXPECT_EQ(Run(), kExitPackageIncomplete);
  (void)planted;
}

TEST_F(QuietInstallTest, PrinterCommandsOnlyAfterTheQueueIsThereEachAwaitedAndQuiet) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinter(kUsbQueue);
  machine.SetCommandEnd(90000, 0);  // printui hangs on a box nobody sees
  EXPECT_EQ(Run(true, true), kExitSuccess);
  EXPECT_EQ(TextsOf("RunRundll32"),
            (std::vector<std::string>{"printui.dll,PrintUIEntry /y /q /n \"" + kUsbQueue + "\"",
                                      "printui.dll,PrintUIEntry /k /q /n \"" + kUsbQueue + "\""}));
  for (const SimulatedCall& call : machine.CallsOf("RunRundll32")) EXPECT_EQ(call.numbers.at(0), 60000u);
  EXPECT_EQ(machine.CountOf("StartRundll32"), 0u);
  // printui's outcome is not its exit code: the default is read back.
  machine.SetDefaultPrinterName("Office");
  OpenProcessLog(L"C:\\Temp\\Vornell.log");
  installerState = InstallerState{};
  EXPECT_EQ(Run(true, false), kExitSuccess);
  // The log is UTF-8: the queue's ASCII part is looked for.
  EXPECT_NE(ProcessLog().Text().find("/setdefault did not make Orvane RX730T"), std::string::npos);
  EXPECT_NE(ProcessLog().Text().find(" the default printer; the default is: Office"), std::string::npos);
  machine.SetCommandEnd(500, 0);
  installerState = InstallerState{};
  EXPECT_EQ(Run(true, true), kExitSuccess);
  EXPECT_NE(ProcessLog().Text().find("the default printer is now: Orvane RX730T"), std::string::npos);
  EXPECT_NE(ProcessLog().Text().find("a test page was asked for"), std::string::npos);

  // Into the driver store only: there is no queue to name.
  machine.ClearCalls();
  installerState = InstallerState{};
  machine.SetUsbDevicePaths({});
  EXPECT_EQ(Run(true, true), kExitSuccess);
  EXPECT_EQ(machine.CountOf("RunRundll32"), 0u);
}

// An x64 driver cannot load in an ARM64 spooler: nothing is copied or
// installed, unattended (1633) or in the wizard (a box before any page);
// removal still runs.
TEST_F(QuietInstallTest, Arm64MachineInstallsNothingAndRemovalStillRuns) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinter(kUsbQueue);
  machine.SetNativeMachine(kMachineArm64);
  EXPECT_EQ(Run(), kExitPlatformUnsupported);
  EXPECT_EQ(machine.CountOf("CopyVerifiedFile") + machine.CountOf("CopyFileTo") + machine.CountOf("UpdateDriver"), 0u);

  const std::size_t windows = headless::ModalRuns().size();
  const std::size_t boxes = headless::AppMessageBoxes().size();
  headless::ScriptAppAnswer(kIdOk);
  theApp.arguments = {};
  theApp.InitInstance();
  EXPECT_EQ(headless::ModalRuns().size(), windows) << "no wizard";
  ASSERT_EQ(headless::AppMessageBoxes().size(), boxes + 1);
  EXPECT_NE(headless::AppMessageBoxes().back().find("ARM"), std::string::npos);
  EXPECT_EQ(machine.CountOf("CopyVerifiedFile"), 0u);

  theApp.arguments = {L"/uninstall", L"/quiet"};
  theApp.InitInstance();
  EXPECT_EQ(theApp.exitCode, kExitSuccess);
  EXPECT_TRUE(machine.QueueNames().empty());
  theApp.arguments.clear();
  theApp.exitCode = 0;

  // Where the system cannot say (before Windows 10 1709), it is no ARM64 machine.
  machine.SetNativeMachine(std::nullopt);
  installerState = InstallerState{};
  machine.AddPrinter(kUsbQueue);
  EXPECT_EQ(Run(), kExitSuccess);
}

// Windows refuses the package for its signature: the log names the code
// and says what an administrator can change.
TEST_F(QuietInstallTest, SignatureRefusalIsNamedWithWhatToDo) {
  CopySamplePackage();
  OpenProcessLog(L"C:\\Temp\\Vornell.log");
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.SetUpdateDriverResult(false, 0xE0000242);
  EXPECT_EQ(Run(), kExitInstallFailed);
  const std::string log = ProcessLog().Text();
  EXPECT_NE(log.find("refused the driver package: ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED, the package is signed, "
                     "but Windows does not trust its publisher"),
            std::string::npos);
  EXPECT_NE(log.find("into the machine's Trusted Publishers store"), std::string::npos);
  // No printer: the store's refusal is explained the same way.
  installerState = InstallerState{};
  machine.SetUsbDevicePaths({});
  machine.SetCopyOemInfResult(0, 0x800B0100);
  EXPECT_EQ(Run(), kExitInstallFailed);
  EXPECT_NE(ProcessLog().Text().find("refused the driver package: TRUST_E_NOSIGNATURE"), std::string::npos);
}

// Nobody sees session 0 or a hidden window station: the bare program
// installs as /quiet would, the usage and the removal ask and show nothing.
TEST_F(QuietInstallTest, WhereNoPersonSeesAWindowEveryModeIsQuiet) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinter(kUsbQueue);
  const ProcessFacts seen = GetProcessFacts();
  ProcessFacts unseen = seen;
  unseen.seenByPerson = false;
  SetSimulatedProcessFacts(unseen);
  const std::size_t windows = headless::ModalRuns().size();
  const std::size_t boxes = headless::AppMessageBoxes().size();
  for (const std::vector<std::wstring>& arguments :
       {std::vector<std::wstring>{}, {L"/bogus"}, {L"/?"}, {L"/uninstall"}, {L"/uninstall"}}) {
    installerState = InstallerState{};
    theApp.arguments = arguments;
    theApp.InitInstance();
    if (arguments.empty()) EXPECT_EQ(theApp.exitCode, kExitSuccess) << "installed";
    if (arguments.empty()) EXPECT_FALSE(machine.Entry() == std::nullopt);
  }
  EXPECT_EQ(theApp.exitCode, kExitSuccess) << "removed without asking, twice";
  EXPECT_FALSE(machine.Entry().has_value());
  EXPECT_EQ(headless::ModalRuns().size(), windows);
  EXPECT_EQ(headless::AppMessageBoxes().size(), boxes);
  EXPECT_NE(ProcessLog().Text().find("no person can see this process's windows"), std::string::npos);
  SetSimulatedProcessFacts(seen);
  theApp.arguments.clear();
  theApp.exitCode = 0;
}

// The start-up: the command line decides; the unattended mode makes no
// window and writes its exit code last in its log.
TEST_F(QuietInstallTest, StartUpByCommandLine) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinter(kUsbQueue);
  const std::size_t windows = headless::ModalRuns().size();
  const std::size_t controlInits = headless::CommonControlsInits().size();
  const std::size_t consoles = headless::ConsoleTexts().size();

  theApp.arguments = {L"-QUIET", L"/log", L"C:\\logs\\printer.log"};
  theApp.InitInstance();
  EXPECT_EQ(theApp.exitCode, kExitSuccess);
  EXPECT_EQ(headless::ModalRuns().size(), windows);
  EXPECT_EQ(headless::CommonControlsInits().size(), controlInits);
  EXPECT_EQ(ProcessLogPath(), L"C:\\logs\\printer.log");
  const std::vector<std::string> lines = ProcessLog().Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "2026-12-09 14:03:07.412 exit code: 0");
  EXPECT_NE(ProcessLog().Text().find("UpdateDriver("), std::string::npos) << "system calls are logged";

  SetInstallLockHeldElsewhere(true);
  theApp.InitInstance();
  EXPECT_EQ(theApp.exitCode, kExitAnotherInstall);
  SetInstallLockHeldElsewhere(false);

  theApp.arguments = {L"/quiet", L"/reboot"};
  theApp.InitInstance();
  EXPECT_EQ(theApp.exitCode, kExitBadCommandLine);
  theApp.arguments = {L"/?"};
  theApp.InitInstance();
  EXPECT_EQ(theApp.exitCode, kExitSuccess);
  EXPECT_EQ(headless::ConsoleTexts().size(), consoles + 2);
  EXPECT_TRUE(headless::AppMessageBoxes().empty());

  // No console and /quiet: still no box.
  headless::SetStartingConsole(false);
  theApp.arguments = {L"/quiet", L"/bad"};
  theApp.InitInstance();
  EXPECT_EQ(theApp.exitCode, kExitBadCommandLine);
  EXPECT_TRUE(headless::AppMessageBoxes().empty());
  headless::SetStartingConsole(true);

  theApp.arguments.clear();
  theApp.exitCode = 0;
}

// Windows' device installation writes its log while the update runs.
class WritesDeviceInstallLog final : public SimulatedMachine {
 public:
  explicit WritesDeviceInstallLog(std::string text) : text_(std::move(text)) {}
  bool UpdateDriver(const std::string& hardwareId, const std::string& infPath, std::uint32_t installFlags,
                    bool* restartNeeded) override {
    SetSimulatedDeviceInstallLog(text_);
    return SimulatedMachine::UpdateDriver(hardwareId, infPath, installFlags, restartNeeded);
  }

 private:
  std::string text_;
};

// A failed run in Configuration Manager's records: what Windows' device
// installation wrote during the run, then the exit code as an error. A log
// that cannot be made is said on the console.
TEST_F(QuietInstallTest, FailedRunEndsWithTheDeviceInstallationLogInCmTraceRecords) {
  CopySamplePackage();
  const std::string before = ">>>  [Device Install (Hardware initiated) - earlier]\r\n<<<  [Exit status: SUCCESS]\r\n";
  const std::string during = ">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USB\\VID_F0E1&PID_C20B]\r\n"
                             "     ndv: Install flags: 0x00000005\r\n"
                             "!!!  ndv: Driver package import failed for device.\r\n"
                             "<<<  [Exit status: FAILURE(0xe0000247)]\r\n";
  WritesDeviceInstallLog m(before + during);
  m.SetCurrentFolder(folder.path());
  m.SetDriverDirectory(spool.string());
  m.SetUsbDevicePaths({kPrinterPath});
  m.SetUpdateDriverResult(false, 5);
  SetServices(&m);
  SetSimulatedDeviceInstallLog(before);
  theApp.arguments = {L"/quiet", L"/logformat", L"cmtrace"};
  theApp.InitInstance();
  SetServices(&machine);
  SetSimulatedDeviceInstallLog(std::nullopt);
  const auto record = [](const std::string& text, char type) {
    return "<![LOG[" + text + "]LOG]!><time=\"14:03:07.412-480\" date=\"12-09-2026\" component=\"Vornell\" "
           "context=\"\" type=\"" + type + "\" thread=\"1\" file=\"\">";
  };

  const std::vector<std::string> lines = ProcessLog().Lines();
  EXPECT_EQ(theApp.exitCode, kExitInstallFailed);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0].rfind("\xEF\xBB\xBF<![LOG[Vornell ", 0), 0u) << lines[0];
  const std::vector<std::string> end(lines.end() - 5, lines.end());
  EXPECT_EQ(end, (std::vector<std::string>{
                     record("Windows' device-installation log (C:\\Windows\\INF\\setupapi.dev.log), written during "
                            "this run: its sections, exit statuses, warnings and errors",
                            '1'),
                     record(">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USB\\VID_F0E1&PID_C20B]", '1'),
                     record("!!!  ndv: Driver package import failed for device.", '3'),
                     record("<<<  [Exit status: FAILURE(0xe0000247)]", '1'),
                     record("exit code: 1603", '3'),
                 }));
  EXPECT_NE(ProcessLog().Text().find("the driver update failed: 5]LOG]!>"), std::string::npos);

  installerState = InstallerState{};
  const std::size_t consoles = headless::ConsoleTexts().size();
  RefuseProcessLog("a link, junction or mount point in its folders leads to C:\\elsewhere\\quiet.log");
  theApp.arguments = {L"/quiet", L"/log", L"C:\\redirected\\quiet.log"};
  theApp.InitInstance();
  RefuseProcessLog("");
  EXPECT_EQ(theApp.exitCode, kExitSuccess) << "no log stops nothing";
  ASSERT_EQ(headless::ConsoleTexts().size(), consoles + 1);
  EXPECT_EQ(headless::ConsoleTexts().back(),
            "Vornell: no log at C:\\redirected\\quiet.log: a link, junction or mount point in its folders leads to "
            "C:\\elsewhere\\quiet.log\r\n");
  theApp.arguments.clear();
  theApp.exitCode = 0;
}

}  // namespace
}  // namespace vornell
