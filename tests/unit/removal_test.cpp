// The whole life cycle against the simulated machine, through the real
// start-up: an install leaves an Apps & features entry; "/uninstall" takes
// away the queues, the driver, the store's package, the model's staged
// files, the entry and the program copy, in that order, and says how it
// went by its exit code, its log and, unless quiet, its boxes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/exit_codes.h"
#include "app/vornell_app.h"
#include "engine_test_support.h"
#include "framework/headless/headless.h"
#include "platform/simulated/simulated_process.h"

namespace vornell {
namespace {

using namespace engine_test;

constexpr char kPrinterPath[] =
    "\\\\?\\usb#vid_f0e1&pid_c20b#0000RX730T#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const std::vector<std::string> kModelFiles = {"RX730TP.INF", "RX730TP.dll", "RX730TP.gpd", "RX730TP.cat"};

class RemovalTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    CopySamplePackage();
    spool = folder.MakeFolder("spool/drivers/x64");
    machine.SetDriverDirectory(spool.string());
    machine.SetUsbDevicePaths({kPrinterPath});
  }
  void TearDown() override {
    theApp.arguments.clear();
    theApp.exitCode = 0;
    EngineTest::TearDown();
  }

  int Start(std::vector<std::wstring> arguments) {
    installerState = InstallerState{};
    theApp.arguments = std::move(arguments);
    theApp.InitInstance();
    return theApp.exitCode;
  }
  // Installed as the unattended mode installs, with the driver the update
  // set up and the LPT queue an earlier wizard made.
  void Install() {
    if (machine.QueueNames().empty()) machine.AddPrinterAfterUpdate(kUsbQueue);
    ASSERT_EQ(Start({L"/quiet"}), kExitSuccess);
    machine.AddPrinterDriver(kUsbQueue, {"RX730TP.dll", "RX730TP.gpd", "UNIDRV.DLL", "UNIRES.DLL"});
    if (machine.QueueNames().size() == 1) machine.AddPrinter(kLptQueue, kUsbQueue);
    machine.ClearCalls();
  }
  bool Staged(const std::string& name) const { return fs::exists(spool / "3" / name); }

  fs::path spool;
};

TEST_F(RemovalTest, InstallRecordsTheEntryAndRemovalUndoesItAllInOrder) {
  Install();
  ASSERT_TRUE(machine.Entry().has_value());
  const AppsEntry entry = *machine.Entry();
  EXPECT_EQ(entry.displayName, "Orvane RX730TⅡ 打印机驱动");
  EXPECT_EQ(entry.displayVersion, "1.0.0.1");
  EXPECT_EQ(entry.programCopy, SimulatedMachine::kProgramCopy);
  EXPECT_GT(entry.estimatedSizeKb, 0u);
  // What removal needs is in the install record, with the program as owner.
  ASSERT_TRUE(machine.InstallRecordNow().has_value());
  EXPECT_EQ(machine.InstallRecordNow()->storedInf, "oem10.inf");
  EXPECT_EQ(machine.InstallRecordNow()->queueName, kUsbQueue);
  EXPECT_EQ(machine.InstallRecordNow()->owner, InstallOwner::kProgram);
  // Installing again changes the one entry and adds nothing to the store.
  installerState = InstallerState{};
  ASSERT_EQ(Start({L"/quiet"}), kExitSuccess);
  EXPECT_EQ(machine.StoredInfs(), std::vector<std::string>{"oem10.inf"});
  machine.ClearCalls();

  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  // The model's three staged files and its catalog, then the package copy's nine with its folders.
  std::vector<std::string> expected = {"DeleteQueue", "DeleteQueue", "RemovePrinterDriver", "RemoveStoredDriver"};
  expected.insert(expected.end(), 4 + 9, "RemoveFile");
  expected.insert(expected.end(), {"RemoveFolder", "RemoveFolder", "DeleteAppsEntry", "RemoveProgramCopy"});
  EXPECT_EQ(machine.Operations({"DeleteQueue", "RemovePrinterDriver", "RemoveStoredDriver", "RemoveFile",
                                "RemoveFolder", "DeleteAppsEntry", "RemoveProgramCopy"}),
            expected);
  EXPECT_FALSE(std::filesystem::exists(machine.Resolve(SimulatedMachine::kProgramFolder) / "x64"));
  EXPECT_TRUE(machine.QueueNames().empty());
  EXPECT_TRUE(machine.PrinterDrivers().empty());
  EXPECT_TRUE(machine.StoredInfs().empty());
  EXPECT_EQ(machine.CallsOf("RemoveStoredDriver").at(0).numbers.at(0), 1u) << "forced: queue and driver are gone";
  for (const std::string& name : kModelFiles) EXPECT_FALSE(Staged(name)) << name;
  EXPECT_TRUE(Staged("UNIDRV.DLL")) << "Windows' own driver core stays";
  EXPECT_FALSE(machine.Entry().has_value());
  EXPECT_FALSE(machine.InstallRecordNow().has_value());
  EXPECT_FALSE(machine.HasProgramCopy());
  EXPECT_EQ(ProcessLog().Lines().back(), "2026-12-09 14:03:07.412 exit code: 0");

  // Nothing left to remove is a removal too.
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  ExpectNothingLeftOpen(machine);
}

// Somebody's own queue on our driver keeps working: the driver and its
// files stay; the rest of ours goes.
TEST_F(RemovalTest, DriverAnotherQueueUsesStaysWithItsFiles) {
  Install();
  machine.AddPrinter("Office", kUsbQueue);
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  EXPECT_EQ(machine.QueueNames(), std::vector<std::string>{"Office"});
  EXPECT_EQ(machine.PrinterDrivers(), std::vector<std::string>{kUsbQueue});
  EXPECT_EQ(machine.StoredInfs().size(), 1u);
  for (const std::string& name : kModelFiles) EXPECT_TRUE(Staged(name)) << name;
  EXPECT_FALSE(machine.Entry().has_value());
  EXPECT_NE(ProcessLog().Text().find("stays with its package and files: the queue Office uses it"), std::string::npos);
}

TEST_F(RemovalTest, RestartFailureAndTheCopyThatRuns) {
  // A store that needs a restart; the copy runs (Apps & features started
  // it) and goes at the restart without asking for one.
  Install();
  machine.SetStoreRemovalNeedsRestart(true);
  machine.SetProgramCopy(true, true);
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitRestartNeeded);
  EXPECT_TRUE(machine.CopyGoesAtRestart());

  // A step that fails stops the removal, and the entry stays for another try.
  machine.SetStoreRemovalNeedsRestart(false);
  machine.SetProgramCopy(false, false);
  Install();
  machine.FailOperation("RemovePrinterDriver", sim_error::kAccessDenied);
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitInstallFailed);
  EXPECT_TRUE(machine.Entry().has_value());
  EXPECT_EQ(machine.CountOf("RemoveStoredDriver"), 0u);
  EXPECT_NE(ProcessLog().Text().find("removal failed at: deleting the printer driver Orvane RX730T"),
            std::string::npos);
}

// What is no longer ours stays: the store's name given to another package
// since; and a driver the spooler still holds with no queue of ours left
// (one it only marked for deletion keeps jobs) fails the removal, which
// keeps its entry for a try after the restart.
TEST_F(RemovalTest, StoreNameOfAnotherPackageAndADriverTheSpoolerStillHolds) {
  Install();
  const std::string stored = machine.InstallRecordNow()->storedInf;
  machine.SetStoredInfOrigin(stored, "OTHERPRN.INF");
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  EXPECT_EQ(machine.CountOf("RemoveStoredDriver"), 0u);
  EXPECT_EQ(machine.StoredInfs(), std::vector<std::string>{stored});
  EXPECT_NE(ProcessLog().Text().find("now holds OTHERPRN.INF, not our package; it stays"), std::string::npos);

  machine.SetStoredInfOrigin(stored, "rx730tp.inf");  // ours, in another letter case
  Install();
  machine.AddPrinter("Jobs left", kUsbQueue);
  machine.MarkQueuePendingDeletion("Jobs left");
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitInstallFailed);
  EXPECT_EQ(machine.CountOf("RemovePrinterDriver"), 2u) << "once more after a pause";
  EXPECT_TRUE(machine.Entry().has_value());
  EXPECT_EQ(machine.CountOf("RemoveStoredDriver"), 0u);
  EXPECT_NE(ProcessLog().Text().find("run the removal again after a restart"), std::string::npos);

  // Let go within the pause: removed.
  machine.MarkQueuePendingDeletion("Jobs left", false);
  machine.DeleteQueue("Jobs left");
  Install();
  machine.HoldDriverInSpooler(1);
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  EXPECT_TRUE(machine.PrinterDrivers().empty());
  EXPECT_TRUE(machine.StoredInfs().empty());
}

// A removal from the running copy leaves deletions for the restart; the
// next install takes ours out, so the restart cannot delete what it put
// there, and leaves other programs' entries.
TEST_F(RemovalTest, InstallAfterARemovalClearsOnlyOurDeletionsAtTheRestart) {
  Install();
  machine.SetProgramCopy(true, true);
  machine.SetFileInUse((spool / "3" / "RX730TP.dll").string());
  machine.AddForeignPendingRemoval("C:\\Windows\\Temp\\other.tmp");
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitRestartNeeded);
  const std::vector<std::string> pending = machine.PendingRemovals();
  ASSERT_EQ(pending.size(), 3u);
  for (const std::string& path : {pending[1], pending[2]}) {
    EXPECT_NE(path.find(".vornell-removed-"), std::string::npos) << "a name of its own: " << path;
  }
  EXPECT_FALSE(Staged("RX730TP.dll")) << "renamed aside";

  machine.SetProgramCopy(true, false);
  Install();
  EXPECT_EQ(machine.PendingRemovals(), std::vector<std::string>{"C:\\Windows\\Temp\\other.tmp"});
  EXPECT_TRUE(Staged("RX730TP.dll"));
}

// Apps & features runs it with no /quiet: a question first, then one box.
TEST_F(RemovalTest, WithoutQuietAskedFirstThenTold) {
  Install();
  headless::ScriptAppAnswer(kIdNo);
  EXPECT_EQ(Start({L"/uninstall"}), kExitUserCancelled);
  EXPECT_TRUE(machine.Entry().has_value());
  ASSERT_EQ(headless::AppMessageBoxes().size(), 1u);
  EXPECT_EQ(headless::AppMessageCaptions().back(), "卸载");
  EXPECT_EQ(headless::AppMessageBoxes().back(), "确定要卸载 Orvane RX730TⅡ 打印机驱动吗？");

  headless::ScriptAppAnswer(kIdYes);
  EXPECT_EQ(Start({L"/uninstall", L"/log", L"C:\\logs\\removal.log"}), kExitSuccess);
  EXPECT_EQ(headless::AppMessageBoxes().back(), "Orvane RX730TⅡ 打印机驱动已卸载。");

  Install();
  machine.FailOperation("DeleteQueue", sim_error::kAccessDenied);
  headless::ScriptAppAnswer(kIdYes);
  EXPECT_EQ(Start({L"/uninstall", L"/log", L"C:\\logs\\removal.log"}), kExitInstallFailed);
  EXPECT_EQ(headless::AppMessageBoxes().back(), "卸载未能完成，详情请见日志：C:\\logs\\removal.log");
}

}  // namespace
}  // namespace vornell

namespace vornell {
namespace {

using namespace engine_test;

// Under an MSI: Windows Installer owns the program folder and shows the one
// entry; the program installs from the MSI's files where they are, and its
// removal (the MSI's removal action) leaves them to the MSI.
class MsiOwnedTest : public RemovalTest {
 protected:
  void SetUp() override {
    RemovalTest::SetUp();
    // As the MSI leaves the machine before its install action runs: its files
    // in the program folder, its owner value, and an entry of an install of the
    // program alone from before.
    msiPackage = machine.Resolve(SimulatedMachine::kProgramFolder) / "x64" / "driver";
    CopySamplePackageTo(msiPackage);
    std::ofstream(msiPackage / "README.TXT") << "the MSI's own";
    machine.SetProgramCopy(true, false);
    machine.SetInstallRecord(InstallRecord{InstallOwner::kWindowsInstaller, {}, {}, {}});
    AppsEntry older;
    older.displayName = "Orvane RX730TⅡ 打印机驱动";
    older.programCopy = SimulatedMachine::kProgramCopy;
    machine.SetAppsEntry(older);
  }
  // No folder made under the MSI's program folder.
  bool MadeInProgramFolder() const {
    for (const auto& call : machine.CallsOf("CreateFolder")) {
      if (call.texts.at(0).rfind(SimulatedMachine::kProgramFolder, 0) == 0) return true;
    }
    return false;
  }
  fs::path msiPackage;
};

TEST_F(MsiOwnedTest, InstallAndRemovalLeaveTheMsisFilesAndEntryToIt) {
  // A Vornell.exe run from elsewhere (a repair by hand) as the MSI's action would.
  machine.AddPrinterAfterUpdate(kUsbQueue);
  ASSERT_EQ(Start({L"/quiet"}), kExitSuccess);
  EXPECT_EQ(machine.CountOf("InstallProgramCopy"), 0u);
  EXPECT_EQ(machine.CountOf("WriteAppsEntry"), 0u);
  EXPECT_EQ(machine.CountOf("CopyVerifiedFile"), 0u) << "the package beside the program is never copied";
  EXPECT_FALSE(MadeInProgramFolder());
  EXPECT_FALSE(machine.Entry().has_value()) << "one entry: the MSI's";
  ASSERT_TRUE(machine.InstallRecordNow().has_value());
  EXPECT_EQ(machine.InstallRecordNow()->owner, InstallOwner::kWindowsInstaller);
  EXPECT_EQ(machine.InstallRecordNow()->storedInf, "oem10.inf");
  EXPECT_EQ(machine.InstallRecordNow()->queueName, kUsbQueue);
  EXPECT_TRUE(fs::exists(msiPackage / "README.TXT")) << "a file of the MSI's is not ours to delete";
  EXPECT_NE(ProcessLog().Text().find("Windows Installer owns the program folder"), std::string::npos);

  machine.ClearCalls();
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  EXPECT_TRUE(machine.QueueNames().empty());
  EXPECT_TRUE(machine.StoredInfs().empty());
  EXPECT_EQ(machine.CountOf("RemoveProgramCopy"), 0u);
  EXPECT_TRUE(machine.HasProgramCopy());
  for (const std::string& name : kModelFiles) EXPECT_TRUE(fs::exists(msiPackage / name)) << name;
  ASSERT_TRUE(machine.InstallRecordNow().has_value()) << "the owner value is the MSI's to delete";
  EXPECT_EQ(machine.InstallRecordNow()->owner, InstallOwner::kWindowsInstaller);
  EXPECT_EQ(machine.InstallRecordNow()->storedInf, "");
}

TEST_F(MsiOwnedTest, APackageTheMsiLacksOrChangedFailsWithoutTouchingItsFolder) {
  fs::remove(msiPackage / "RX730TP.gpd");
  EXPECT_EQ(Start({L"/quiet"}), kExitPackageUntrusted);
  EXPECT_EQ(machine.CountOf("CopyVerifiedFile"), 0u);
  EXPECT_TRUE(fs::exists(msiPackage / "RX730TP.INF")) << "a failed run discards nothing of the MSI's";
  EXPECT_TRUE(machine.HasProgramCopy());

  fs::remove_all(machine.Resolve(SimulatedMachine::kProgramFolder) / "x64");
  EXPECT_EQ(Start({L"/quiet"}), kExitInstallFailed);
  EXPECT_FALSE(MadeInProgramFolder()) << "the MSI's folder is not made anew by the program";
  EXPECT_NE(ProcessLog().Text().find("repair the MSI"), std::string::npos);
}

// A machine a version before the install record installed: what removal
// needs is read from the entry.
TEST_F(RemovalTest, AnEntryFromBeforeTheInstallRecordStillRemovesEverything) {
  Install();
  machine.SetInstallRecord(std::nullopt);
  // An entry as versions before the install record wrote it.
  AppsEntry older = *machine.Entry();
  older.queueName = kUsbQueue;
  older.driverName = kUsbQueue;
  older.storedInf = "oem10.inf";
  machine.SetAppsEntry(older);
  EXPECT_EQ(Start({L"/uninstall", L"/quiet"}), kExitSuccess);
  EXPECT_TRUE(machine.StoredInfs().empty()) << "the store's name came from the older entry";
  EXPECT_FALSE(machine.Entry().has_value());
  EXPECT_FALSE(machine.HasProgramCopy());
}

}  // namespace
}  // namespace vornell
