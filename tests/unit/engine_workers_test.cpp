// The three worker threads against the simulated machine: the USB driver
// update with its driver-store fall-back, the parallel-port install command,
// and the wait for the printer queue, all on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine_test_support.h"

namespace vornell {
namespace {

using namespace engine_test;

constexpr std::uint32_t kListFlags = kPrinterEnumLocal;  // never the user's connections
constexpr char kStagingFolder[] = "C:\\Windows\\System32\\spool\\DRIVERS\\x64\\3";

// ------------------------------------------------------------ USB worker

class EngineUsbInstallTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    CopySamplePackage();
    machine.SetUsbDevicePaths({"\\\\?\\usb#vid_f0e1&pid_c20b#0000RX730T#{a5dcbf10-6530-11d2-901f-00c04fb951ed}"});
    SetPrinterDriverDirectory(installerState, kStagingFolder);
    installerState.workerStatus = 77;  // whatever was there must be replaced
  }
  // The package's own INF, never the copy staging may have kept.
  const std::string infPath = ".\\x64\\driver\\RX730TP.INF";
};

TEST_F(EngineUsbInstallTest, UpdateFromThePackagesInfSucceeds) {
  machine.SetUpdateDriverResult(true);
  EXPECT_EQ(UsbInstallThread(nullptr), 0u);
  EXPECT_EQ(installerState.workerStatus, 0);

  EXPECT_EQ(machine.Operations({"WaitNoPendingInstalls", "UpdateDriver"}),
            (std::vector<std::string>{"WaitNoPendingInstalls", "UpdateDriver"}));
  EXPECT_EQ(machine.CallsOf("WaitNoPendingInstalls").at(0).numbers, std::vector<std::uint64_t>{60000});
  const auto updates = machine.CallsOf("UpdateDriver");
  ASSERT_EQ(updates.size(), 1u);
  EXPECT_EQ(updates[0].texts, (std::vector<std::string>{"USBPRINT\\OrvaneRX730TII87C8", infPath}));
  EXPECT_EQ(updates[0].numbers, (std::vector<std::uint64_t>{kInstallFlagForce, 0})) << "the system asks about a restart";
  EXPECT_EQ(machine.CountOf("SetupCopyOemInf"), 0u);
}

TEST_F(EngineUsbInstallTest, FailedUpdateFallsBackToTheDriverStore) {
  machine.SetUpdateDriverResult(false, sim_error::kNoSuchDevinst);
  machine.SetCopyOemInfResult(1);

  EXPECT_EQ(UsbInstallThread(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(installerState.workerStatus, -1);

  const auto copies = machine.CallsOf("SetupCopyOemInf");
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].texts, std::vector<std::string>{infPath});
  EXPECT_EQ(copies[0].numbers, (std::vector<std::uint64_t>{kSpostPath, kSpCopyNewer}));
}

TEST_F(EngineUsbInstallTest, BothFailingLeavesTheUpdatesErrorReadBeforeTheFallBack) {
  struct Case {
    std::uint32_t updateError;
    int storeResult;  // only exactly 1 means stored
  };
  for (const Case c : {Case{sim_error::kNoSuchDevinst, 0}, Case{5, 2}, Case{1802, -1}}) {
    SCOPED_TRACE(c.updateError);
    machine.ClearCalls();
    machine.SetUpdateDriverResult(false, c.updateError);
    // The fall-back leaves its own error, which must not be the one reported.
    machine.SetCopyOemInfResult(c.storeResult, sim_error::kFileNotFound);

    EXPECT_EQ(UsbInstallThread(nullptr), c.updateError);
    EXPECT_EQ(installerState.workerStatus, static_cast<std::int32_t>(c.updateError));
    EXPECT_EQ(machine.Operations(), (std::vector<std::string>{"WaitNoPendingInstalls", "UpdateDriver",
                                                              "LastError", "SetupCopyOemInf"}));
  }
}

// Windows installs a printer just plugged in itself. The worker waits for
// that first, and when the update still meets it ("not ready"), waits again
// and tries once more. The wizard waits up to 60 s, then goes on regardless.
TEST_F(EngineUsbInstallTest, WaitsForWindowsOwnInstallsAndRetriesOnceWhenNotReady) {
  machine.SetInstallsPendingUntil(100000);
  EXPECT_EQ(UsbInstallThread(nullptr), 0u);
  EXPECT_EQ(machine.NowMs(), 100000u) << "60 s, then the rest after the refused update";
  EXPECT_EQ(machine.Operations({"WaitNoPendingInstalls", "UpdateDriver"}),
            (std::vector<std::string>{"WaitNoPendingInstalls", "UpdateDriver", "WaitNoPendingInstalls",
                                      "UpdateDriver"}));
  EXPECT_EQ(machine.DriverUpdatesDone(), 1);

  // Only once more: a second "not ready" is the update's failure.
  machine.ClearCalls();
  machine.FailUpdates(2, sim_error::kDeviceInstallerNotReady);
  machine.SetCopyOemInfResult(0);
  EXPECT_EQ(UsbInstallThread(nullptr), sim_error::kDeviceInstallerNotReady);
  EXPECT_EQ(machine.CountOf("UpdateDriver"), 2u);

  // Unattended, installs still pending at the limit stop the worker before
  // any update, so that the deployment can be tried again later.
  machine.ClearCalls();
  machine.SetInstallsPendingUntil(machine.NowMs() + 400000);
  WorkerSettings quiet;
  quiet.unattended = true;
  quiet.pendingInstallsMs = 300000;
  UsbInstallThread(&quiet);
  EXPECT_TRUE(quiet.installsPending);
  EXPECT_EQ(machine.CountOf("UpdateDriver"), 0u);
  EXPECT_EQ(machine.CountOf("SetupCopyOemInf"), 0u);
}

// ------------------------------------------------------------ parallel worker

class EngineParallelInstallTest : public EngineTest {
 protected:
  // The sample package under the current folder, as the wizard finds it.
  void SetUp() override {
    EngineTest::SetUp();
    CopySamplePackage();
  }
  std::string Arguments(const std::string& inf) const {
    return "printui.dll,PrintUIEntry /if /b \"Orvane RX730T\xA2\xF2 LPT\" /f \"" + inf +
           "\" /r \"COM1:\" /m \"Orvane RX730T\xA2\xF2\"";
  }
  // The package's INF as the full path the machine gives it.
  std::string FullInf(const std::string& relative) const {
    std::string full = (folder.path() / relative).lexically_normal().string();
    std::replace(full.begin(), full.end(), '/', '\\');
    return full;
  }
};

TEST_F(EngineParallelInstallTest, CommandNamesTheInfByItsFullPath) {
  std::string inf;
  ASSERT_TRUE(ResolvePackageInf(installerState, inf));
  EXPECT_EQ(inf, FullInf("x64/driver/RX730TP.INF"));
  EXPECT_EQ(TextsOf("FullPath"), std::vector<std::string>{".\\x64\\driver\\RX730TP.INF"});
  EXPECT_EQ(BuildParallelInstallArguments(installerState, inf), Arguments(inf));

  installerState.driverSourceFolder = ".\\x86\\driver\\";
  ASSERT_TRUE(ResolvePackageInf(installerState, inf));
  EXPECT_EQ(inf, FullInf("x86/driver/RX730TP.INF"));
}

// rundll32 runs in the system directory: the /f path, resolved where the
// started process stands, must still be the package's INF.
TEST_F(EngineParallelInstallTest, WorkerStartsTheCommandAndWaitsTwelveSeconds) {
  machine.SetStartResults({33});
  ParallelInstallThread(nullptr);
  const std::vector<SimulatedCall> starts = machine.CallsOf("StartRundll32");
  ASSERT_EQ(starts.size(), 1u);
  const std::string inf = FullInf("x64/driver/RX730TP.INF");
  EXPECT_EQ(starts[0].texts.at(0), Arguments(inf));
  const std::string& arguments = starts[0].texts.at(0);
  const std::size_t from = arguments.find("/f \"") + 4;
  const std::string named = arguments.substr(from, arguments.find('"', from) - from);
  const bool relative = named.empty() || (named[0] != '\\' && named.find(':') == std::string::npos);
  const std::string seen = relative ? starts[0].texts.at(1) + "\\" + named : named;
  EXPECT_TRUE(fs::is_regular_file(machine.Resolve(seen))) << seen;
  EXPECT_EQ(machine.Operations(), (std::vector<std::string>{"FullPath", "StartRundll32", "Sleep"}));
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>{12000});
}

TEST_F(EngineParallelInstallTest, InfWithoutAFullPathIsACommandThatDidNotStart) {
  machine.FailFullPath(206);  // ERROR_FILENAME_EXCED_RANGE
  EXPECT_EQ(ParallelInstallThread(nullptr), 2u);
  EXPECT_EQ(installerState.workerStatus, 2);
  EXPECT_EQ(machine.CountOf("StartRundll32"), 0u);
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>{12000});
}

TEST_F(EngineParallelInstallTest, NoStartResultCountsAsSuccess) {
  struct Case {
    std::uint32_t started;
    std::int32_t status;
  };
  for (const Case c : {Case{0, kParallelQueueNotSeen}, Case{2, 2}, Case{31, 31},
                       Case{32, kParallelQueueNotSeen}, Case{33, kParallelQueueNotSeen}}) {
    SCOPED_TRACE(c.started);
    installerState.workerStatus = 0;
    machine.SetDefaultStartResult(c.started);
    const std::uint64_t before = machine.NowMs();

    EXPECT_EQ(ParallelInstallThread(nullptr), static_cast<std::uint32_t>(c.status));
    EXPECT_EQ(installerState.workerStatus, c.status);
    EXPECT_FALSE(IsInstallSuccess(installerState.workerStatus));
    EXPECT_EQ(machine.NowMs() - before, 12000u) << "the pause does not depend on the start";
  }
}

TEST_F(EngineParallelInstallTest, OnlyTheQueuesAppearanceMakesItASuccess) {
  installerState.expectedPrinterName = kLptQueue;
  ParallelInstallThread(nullptr);
  PrinterWaitThread(nullptr);
  EXPECT_EQ(installerState.workerStatus, kParallelQueueNotSeen) << "the setup made no queue";

  machine.AddPrinter(kLptQueue);
  ParallelInstallThread(nullptr);
  EXPECT_EQ(PrinterWaitThread(nullptr), 0u);
  EXPECT_EQ(installerState.workerStatus, 0);
}

// ------------------------------------------------------------ printer wait

class EnginePrinterWaitTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    installerState.expectedPrinterName = kUsbQueue;
    installerState.workerStatus = -1;
  }
};

TEST_F(EnginePrinterWaitTest, ExistingQueueIsFoundSevenSecondsInAtTheFirstLook) {
  machine.AddPrinter("Fax");
  machine.AddPrinter(kUsbQueue);

  EXPECT_EQ(PrinterWaitThread(nullptr), 0u);

  EXPECT_EQ(installerState.workerStatus, 0);
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>{7000}) << "no pause after the match";
  EXPECT_EQ(machine.Operations({"Sleep", "EnumPrintersNeeded", "AllocZeroed", "EnumPrintersFill",
                                "Free"}),
            (std::vector<std::string>{"Sleep", "EnumPrintersNeeded", "AllocZeroed",
                                      "EnumPrintersFill", "Free"}));
  // The buffer has 4 bytes to spare; the fill is told the size asked for.
  const std::uint64_t needed = machine.CallsOf("EnumPrintersNeeded").at(0).numbers.at(1);
  EXPECT_EQ(machine.CallsOf("EnumPrintersNeeded").at(0).numbers.at(0), kListFlags);
  EXPECT_EQ(machine.CallsOf("AllocZeroed").at(0).numbers, std::vector<std::uint64_t>{needed + 4});
  EXPECT_EQ(machine.CallsOf("EnumPrintersFill").at(0).numbers,
            (std::vector<std::uint64_t>{kListFlags, needed}));
}

TEST_F(EnginePrinterWaitTest, QueueAppearingLaterIsFoundAtThatAttempt) {
  for (int k = 2; k <= 20; k += 6) {
    SCOPED_TRACE(k);
    SimulatedMachine fresh;
    fresh.AddPrinterAfterEnumerations(kUsbQueue, k - 1);
    SetServices(&fresh);
    installerState.workerStatus = 2;

    EXPECT_EQ(PrinterWaitThread(nullptr), 0u);

    EXPECT_EQ(installerState.workerStatus, 0);
    EXPECT_EQ(fresh.CountOf("EnumPrintersNeeded"), static_cast<std::size_t>(k));
    EXPECT_EQ(fresh.NowMs(), 7000u + 1000u * (k - 1));
    EXPECT_EQ(fresh.LiveAllocations(), 0u);
    SetServices(&machine);
  }
}

TEST_F(EnginePrinterWaitTest, NeverFoundRunsTwentyAttemptsAndLeavesTheStatus) {
  machine.AddPrinter("Fax");
  EXPECT_EQ(PrinterWaitThread(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(installerState.workerStatus, -1);

  std::vector<std::uint32_t> expected{7000};
  expected.insert(expected.end(), 20, 1000);
  EXPECT_EQ(machine.Sleeps(), expected);
  EXPECT_EQ(machine.NowMs(), 27000u);
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 20u);
  EXPECT_EQ(machine.CountOf("EnumPrintersFill"), 20u);
}

// A queue of the name that a removal left with jobs in it is on its way
// out: it counts only once the spooler no longer marks it for deletion.
TEST_F(EnginePrinterWaitTest, QueueMarkedForDeletionDoesNotCount) {
  installerState.expectedPrinterName = kUsbQueue;
  machine.AddPrinter(kUsbQueue);
  machine.MarkQueuePendingDeletion(kUsbQueue);
  EXPECT_EQ(PrinterWaitThread(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(machine.CountOf("QueueMarkedForDeletion"), 20u);
  machine.MarkQueuePendingDeletion(kUsbQueue, false);
  EXPECT_EQ(PrinterWaitThread(nullptr), 0u);
  EXPECT_EQ(machine.CallsOf("QueueMarkedForDeletion").back().texts, std::vector<std::string>{kUsbQueue});
}

// A spooler that takes minutes for a look (a print server that is down)
// does not stretch the wait: it ends at its limit on the clock.
TEST_F(EnginePrinterWaitTest, WaitEndsAtItsLimitHoweverLongALookTakes) {
  machine.AddPrinter("Fax");
  machine.SetEnumerationTakesMs(4000);  // 8 s a look: the size call and the fill
  EXPECT_EQ(PrinterWaitThread(nullptr), 0xFFFFFFFFu);
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 3u) << "looks at 0, 9 and 18 s of a 20 s wait";
  EXPECT_EQ(machine.NowMs(), 7000u + 3 * 9000u);

  machine.ClearCalls();
  machine.SetEnumerationTakesMs(150000);  // five minutes a look
  WorkerSettings quiet;
  quiet.firstLookMs = 0;
  quiet.retryMs = 250;
  quiet.looks = 480;  // the unattended mode's 120 s
  const std::uint64_t before = machine.NowMs();
  PrinterWaitThread(&quiet);
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 1u);
  EXPECT_EQ(machine.NowMs() - before, 300250u);
}

TEST_F(EnginePrinterWaitTest, OnlyWholeNamesMatchWithoutRegardToLatinCase) {
  // "(副本 1)": the copy the system numbers.
  machine.AddPrinter(kUsbQueue + " (\xB8\xB1\xB1\xBE 1)");
  machine.AddPrinter(kLptQueue);
  machine.AddPrinter("Orvane RX730T");
  PrinterWaitThread(nullptr);
  EXPECT_EQ(installerState.workerStatus, -1);
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 20u);

  machine.ClearCalls();
  machine.AddPrinter("ORVANE rx730t\xA2\xF2");
  EXPECT_EQ(PrinterWaitThread(nullptr), 0u);
  EXPECT_EQ(installerState.workerStatus, 0);
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 1u);
}

TEST_F(EnginePrinterWaitTest, ListGrowingBetweenTheTwoCallsCostsThatAttempt) {
  machine.AddPrinterBetweenSizeAndFill(kUsbQueue, 1);
  EXPECT_EQ(PrinterWaitThread(nullptr), 0u);
  EXPECT_EQ(machine.Sleeps(), (std::vector<std::uint32_t>{7000, 1000}));
  const auto sizes = machine.CallsOf("EnumPrintersNeeded");
  const auto fills = machine.CallsOf("EnumPrintersFill");
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].numbers.at(1), sizes[0].numbers.at(1)) << "the first, too small, size is kept";
  EXPECT_EQ(fills[1].numbers.at(1), sizes[1].numbers.at(1)) << "the next attempt asks again";
}

TEST_F(EnginePrinterWaitTest, FailedAllocationCostsOneAttempt) {
  machine.AddPrinter(kUsbQueue);
  machine.FailAllocation(1);
  EXPECT_EQ(PrinterWaitThread(nullptr), 0u);
  EXPECT_EQ(machine.Sleeps(), (std::vector<std::uint32_t>{7000, 1000}));
  EXPECT_EQ(machine.CountOf("EnumPrintersNeeded"), 2u);
  EXPECT_EQ(machine.CountOf("EnumPrintersFill"), 1u) << "no fill into a missing buffer";
  EXPECT_EQ(machine.CountOf("Free"), 1u);
}

}  // namespace
}  // namespace vornell
