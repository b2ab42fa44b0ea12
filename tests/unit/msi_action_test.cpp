// The MSI's custom actions: what Windows Installer is told of each run of
// the program, and how the program is started.
#include <gtest/gtest.h>

#include "msi/action_outcome.h"

namespace vornell::msi {
namespace {

TEST(MsiActionOutcome, OnlySuccessAndRestartPassTheInstallAndRemoval) {
  for (const ProgramRun run : {ProgramRun::kInstall, ProgramRun::kRemoval}) {
    const ActionOutcome success = MapProgramExit(run, 0);
    EXPECT_EQ(success.actionResult, kActionSuccess);
    EXPECT_FALSE(success.restartNeeded);

    const ActionOutcome restart = MapProgramExit(run, 3010);
    EXPECT_EQ(restart.actionResult, kActionSuccess);
    EXPECT_TRUE(restart.restartNeeded);
    EXPECT_NE(restart.meaning.find("3010"), std::string::npos);

    // The program's own refusals all fail the MSI with its generic code,
    // each named in the log so the admin can tell them apart.
    for (const std::uint32_t code : {1u, 259u, 1602u, 1603u, 1618u, 1619u, 1620u, 1633u, 1639u, 3011u, 0xC0000005u}) {
      const ActionOutcome failed = MapProgramExit(run, code);
      EXPECT_EQ(failed.actionResult, kActionFailure) << code;
      EXPECT_FALSE(failed.restartNeeded) << code;
      EXPECT_NE(failed.meaning.find("exit code " + std::to_string(code)), std::string::npos) << failed.meaning;
    }
  }
  EXPECT_NE(MapProgramExit(ProgramRun::kInstall, 1618).meaning.find("another Vornell"), std::string::npos);
  EXPECT_NE(MapProgramExit(ProgramRun::kInstall, 1633).meaning.find("ARM"), std::string::npos);
}

TEST(MsiActionOutcome, ARollbackNeverStopsTheRollbackButSaysWhatFailed) {
  const ActionOutcome failed = MapProgramExit(ProgramRun::kRollback, 1603);
  EXPECT_EQ(failed.actionResult, kActionSuccess);
  EXPECT_NE(failed.meaning.find("1603"), std::string::npos);
  EXPECT_NE(failed.meaning.find("rollback"), std::string::npos);

  EXPECT_EQ(ProgramNotRun(ProgramRun::kRollback, "not started").actionResult, kActionSuccess);
  EXPECT_EQ(ProgramNotRun(ProgramRun::kInstall, "not started").actionResult, kActionFailure);
  EXPECT_EQ(ProgramNotRun(ProgramRun::kRemoval, "not started").actionResult, kActionFailure);
  EXPECT_FALSE(ProgramNotRun(ProgramRun::kInstall, "not started").restartNeeded);
}

TEST(MsiActionOutcome, CommandLinesQuoteBothPathsAndRemoveOnlyWhenAsked) {
  const std::wstring program = L"C:\\Program Files\\Orvane\\Vornell\\Vornell.exe";
  const std::wstring log = L"C:\\Windows\\Logs\\Vornell-msi-install.log";
  EXPECT_EQ(ProgramCommandLine(ProgramRun::kInstall, program, log),
            L"\"C:\\Program Files\\Orvane\\Vornell\\Vornell.exe\" /quiet /log "
            L"\"C:\\Windows\\Logs\\Vornell-msi-install.log\"");
  for (const ProgramRun run : {ProgramRun::kRollback, ProgramRun::kRemoval}) {
    EXPECT_EQ(ProgramCommandLine(run, program, log),
              L"\"C:\\Program Files\\Orvane\\Vornell\\Vornell.exe\" /uninstall /quiet /log "
              L"\"C:\\Windows\\Logs\\Vornell-msi-install.log\"");
  }
  // Each run its own log: a rollback must not overwrite the log of the
  // install that failed.
  EXPECT_NE(std::wstring(LogFileName(ProgramRun::kInstall)), LogFileName(ProgramRun::kRollback));
  EXPECT_NE(std::wstring(LogFileName(ProgramRun::kInstall)), LogFileName(ProgramRun::kRemoval));
  EXPECT_NE(std::wstring(LogFileName(ProgramRun::kRollback)), LogFileName(ProgramRun::kRemoval));
}

TEST(MsiActionOutcome, TheFailedStepIsTheLastOneTheLogNames) {
  const std::string log =
      "2026-12-09 14:03:07.412 Vornell 1.0.0.1, unattended\r\n"
      "2026-12-09 14:03:07.500 removal failed at: an earlier try\r\n"
      "2026-12-09 14:03:08.001 install failed at: updating the driver\r\n"
      "2026-12-09 14:03:08.002 exit code: 1603\r\n";
  EXPECT_EQ(FailedStepIn(log), "updating the driver");
  EXPECT_EQ(FailedStepIn("2026-12-09 14:03:08.001 removal failed at: deleting the queue Orvane: 5"),
            "deleting the queue Orvane: 5");
  EXPECT_EQ(FailedStepIn("2026-12-09 14:03:08.002 exit code: 0\r\n"), "");
  EXPECT_EQ(FailedStepIn(""), "");
}

}  // namespace
}  // namespace vornell::msi
