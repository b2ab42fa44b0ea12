// The unattended mode against the simulated machine and a real temporary
// folder: each outcome's exit code, what it leaves behind, the registration
// wait's limit on the virtual clock, and the start-up that leads to it.
#include <gtest/gtest.h>

#include <filesystem>
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

TEST_F(QuietInstallTest, EachOutcomeHasItsExitCode) {
  CopySamplePackage();
  struct Case {
    const char* what;
    bool printer, queue, updateSucceeds, restart, storeTakesInf;
    int exitCode;
    bool updated, stored;
  };
  const Case cases[] = {
      {"printer and queue", true, true, true, false, true, kExitSuccess, true, false},
      {"update asks for a restart", true, true, true, true, true, kExitRestartNeeded, true, false},
      {"update failed, the queue came all the same", true, true, false, false, true, kExitSuccess, true, true},
      {"printer attached, queue never came", true, false, true, false, true, kExitInstallFailed, true, false},
      {"update and store both failed", true, false, false, false, false, kExitInstallFailed, true, true},
      {"no printer: the driver store", false, false, true, false, true, kExitSuccess, false, true},
      {"no printer, the store refused", false, false, true, false, false, kExitInstallFailed, false, true},
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
    if (c.printer) m.SetUsbDevicePaths({kPrinterPath});
    if (c.queue) m.AddPrinter(kUsbQueue);
    m.SetUpdateDriverResult(c.updateSucceeds);
    m.SetUpdateNeedsRestart(c.restart);
    m.SetCopyOemInfResult(c.storeTakesInf ? 1 : 0);

    EXPECT_EQ(Run(), c.exitCode);
    EXPECT_EQ(m.CountOf("UpdateDriver") == 1, c.updated);
    EXPECT_EQ(m.CountOf("SetupCopyOemInf") == 1, c.stored);
    for (const std::string& name : kPackageFiles) EXPECT_TRUE(std::filesystem::exists(spool / "3" / name)) << name;
    for (const SimulatedCall& update : m.CallsOf("UpdateDriver")) {
      EXPECT_EQ(update.numbers.at(1), 1u) << "the update is told to ask nobody about a restart";
    }
    if (!c.printer) {
      EXPECT_EQ(m.CountOf("EnumPrintersNeeded"), 0u) << "no wait for a queue";
    }
    EXPECT_EQ(m.CountOf("StartRundll32"), 0u);
    SetServices(&machine);
  }
}

// No pause for show: no pause per file, none before the first look; the
// wait for a queue that never comes looks every 250 ms and gives up at 27 s.
TEST_F(QuietInstallTest, WaitLooksEveryQuarterSecondUpToTheWizardsLimit) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  EXPECT_EQ(Run(), kExitInstallFailed);
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(108, 250));
  EXPECT_EQ(machine.NowMs(), 27000u);
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 108u);

  // A queue that appears just before the limit is still seen.
  installerState = InstallerState{};
  std::filesystem::remove_all(spool / "3");
  machine.AddPrinterAtTime(kUsbQueue, machine.NowMs() + 26750);
  EXPECT_EQ(Run(), kExitSuccess);
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

// A deployment tool may start the program elsewhere: the package beside the
// program serves when the current directory has none.
TEST_F(QuietInstallTest, PackageBesideTheProgramWhenTheCurrentDirectoryHasNone) {
  CopySamplePackage("program/x64/driver");
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinter(kUsbQueue);
  EXPECT_EQ(Run(), kExitSuccess);
  for (const std::string& name : kPackageFiles) EXPECT_TRUE(std::filesystem::exists(spool / "3" / name)) << name;
  for (const std::string& from : TextsOf("CopyFileTo")) {
    EXPECT_EQ(from.rfind((folder.path() / "program").string() + "\\x64\\driver\\", 0), 0u) << from;
  }
}

TEST_F(QuietInstallTest, PrinterCommandsOnlyAfterTheQueueIsThere) {
  CopySamplePackage();
  machine.SetUsbDevicePaths({kPrinterPath});
  machine.AddPrinter(kUsbQueue);
  EXPECT_EQ(Run(true, true), kExitSuccess);
  EXPECT_EQ(Started(), (std::vector<std::string>{"printui.dll,PrintUIEntry /y /n \"" + kUsbQueue + "\"",
                                                 "printui.dll,PrintUIEntry /k /n \"" + kUsbQueue + "\""}));

  // Into the driver store only: there is no queue to name.
  machine.ClearCalls();
  installerState = InstallerState{};
  machine.SetUsbDevicePaths({});
  EXPECT_EQ(Run(true, true), kExitSuccess);
  EXPECT_TRUE(Started().empty());
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

}  // namespace
}  // namespace vornell
