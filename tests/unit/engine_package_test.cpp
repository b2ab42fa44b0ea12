// The package check and the staging of the driver files, on a real
// temporary folder through the simulated machine, with the headless window's
// progress bar.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
// Not <chrono>: it does not compile with the GBK execution character set;
// <filesystem> brings the durations the file times need.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine_test_support.h"
#include "framework/dialog.h"
#include "framework/headless/headless.h"
#include "res/resource.h"

namespace vornell {
namespace {

using namespace engine_test;

// ------------------------------------------------------------ the checked copy

class PackageCopyTest : public EngineTest {
 protected:
  fs::path CopyFolder() const { return machine.Resolve(SimulatedMachine::kProgramFolder) / "x64" / "driver"; }
  std::vector<std::string> CopyNames() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(CopyFolder())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  static std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(PackageCopyTest, CopyHoldsExactlyTheManifestsFilesAndIsWhatIsUsed) {
  const fs::path package = CopySamplePackage();
  folder.WriteFile("x64/driver/UNIDRV.DLL.bak", "planted beside the package");
  std::vector<std::string> notes;
  // An older version left a file of its own in the copy.
  fs::create_directories(CopyFolder());
  folder.WriteFile(CopyFolder() / "OLD.DLL", "an older version's");

  const PackageCopyResult copy = CopyVerifiedPackage([&](const std::string& line) { notes.push_back(line); });

  ASSERT_EQ(copy.outcome, PackageCopyOutcome::kReady) << copy.file << ": " << copy.what;
  EXPECT_EQ(CopyNames(), Sorted(kPackageFiles));
  for (const std::string& name : kPackageFiles) EXPECT_EQ(ReadAll(CopyFolder() / name), ReadAll(package / name));
  EXPECT_EQ(installerState.driverSourceFolder, std::string(SimulatedMachine::kProgramFolder) + "\\x64\\driver\\");
  EXPECT_EQ(machine.CountOf("CopyVerifiedFile"), kPackageFiles.size()) << "each file read once";
  EXPECT_EQ(notes, (std::vector<std::string>{"not part of the package, never copied: UNIDRV.DLL.bak",
                                             "left by an earlier version, removed: OLD.DLL"}));
}

// Nothing that differs from the manifest is used, and a failed copy leaves
// neither its own folders nor a change to an earlier install's copy.
TEST_F(PackageCopyTest, FileThatDiffersIsNamedAndNothingOfTheRunStays) {
  const fs::path package = CopySamplePackage();
  const std::string original = ReadAll(package / "RX730TP.dll");
  struct Case {
    const char* name;
    std::string content;  // empty: the file is missing
    PackageCopyOutcome outcome;
    const char* what;
  } cases[] = {
      {"one byte more", original + "x", PackageCopyOutcome::kDiffers, "bytes, the package's has"},
      {"same size, other bytes", std::string(original.size(), 'x'), PackageCopyOutcome::kDiffers, "SHA-256"},
      {"missing", "", PackageCopyOutcome::kDiffers, "missing"},
  };
  for (const bool earlierInstall : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (earlierInstall ? ", over an earlier install" : ""));
      installerState.driverSourceFolder = ".\\x64\\driver\\";
      fs::remove_all(machine.Resolve("C:\\Program Files\\Orvane"));
      if (earlierInstall) {
        CopySamplePackageTo(CopyFolder());
        folder.WriteFile(CopyFolder() / "UNIRES.DLL", "the earlier install's");
      }
      if (c.content.empty()) {
        fs::remove(package / "RX730TP.dll");
      } else {
        folder.WriteFile(package / "RX730TP.dll", c.content);
      }
      const PackageCopyResult copy = CopyVerifiedPackage();
      EXPECT_EQ(copy.outcome, c.outcome);
      EXPECT_EQ(copy.file, "RX730TP.dll");
      EXPECT_NE(copy.what.find(c.what), std::string::npos) << copy.what;
      EXPECT_EQ(installerState.driverSourceFolder, ".\\x64\\driver\\") << "nothing points at a copy";
      if (earlierInstall) {
        EXPECT_EQ(CopyNames(), Sorted(kPackageFiles)) << "no temporary file stays";
        EXPECT_EQ(ReadAll(CopyFolder() / "UNIRES.DLL"), "the earlier install's");
      } else {
        EXPECT_FALSE(fs::exists(machine.Resolve("C:\\Program Files\\Orvane")));
      }
      folder.WriteFile(package / "RX730TP.dll", original);
    }
  }
}

TEST_F(PackageCopyTest, FileAnotherProgramHoldsIsTriedAgainThenFails) {
  CopySamplePackage();
  machine.HoldFile(".\\x64\\driver\\UNIRES.DLL", kHeldFileTries - 1);
  EXPECT_EQ(CopyVerifiedPackage().outcome, PackageCopyOutcome::kReady);
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(kHeldFileTries - 1, kHeldFileRetryMs));

  installerState.driverSourceFolder = ".\\x64\\driver\\";
  fs::remove_all(machine.Resolve("C:\\Program Files\\Orvane"));
  machine.HoldFile(".\\x64\\driver\\UNIRES.DLL", kHeldFileTries);
  const PackageCopyResult copy = CopyVerifiedPackage();
  EXPECT_EQ(copy.outcome, PackageCopyOutcome::kUnreadable);
  EXPECT_EQ(copy.error, kErrorSharingViolation);
  EXPECT_FALSE(fs::exists(machine.Resolve("C:\\Program Files\\Orvane")));
}

// A folder on the way that is a link, a file, or writable by others is
// refused as it is: never followed, re-permissioned or written into.
TEST_F(PackageCopyTest, FolderOnTheWayThatOthersControlIsRefusedUntouched) {
  CopySamplePackage();
  const std::string vornell = SimulatedMachine::kProgramFolder;
  for (const std::string& refused : {vornell, vornell + "\\x64\\driver"}) {
    for (const bool link : {false, true}) {
      SimulatedMachine m;
      m.SetCurrentFolder(folder.path());
      SetServices(&m);
      installerState.driverSourceFolder = ".\\x64\\driver\\";
      fs::remove_all(machine.Resolve("C:\\Program Files\\Orvane"));
      fs::create_directories(m.Resolve(vornell + "\\x64\\driver"));
      SCOPED_TRACE(refused + (link ? " is a link" : " others may write"));
      if (link) {
        m.SetAttributes(refused, kFileAttributeDirectory | kFileAttributeReparsePoint);
      } else {
        m.LetOthersWrite(refused, "Users may write to it");
      }
      m.ClearCalls();
      const PackageCopyResult copy = CopyVerifiedPackage();
      EXPECT_EQ(copy.outcome, PackageCopyOutcome::kFailed);
      EXPECT_EQ(copy.file, refused);
      EXPECT_EQ(m.CountOf("CopyVerifiedFile"), 0u);
      EXPECT_EQ(m.CountOf("SetAttributes") + m.CountOf("RemoveFolder") + m.CountOf("CreateFolder"), 0u);
      SetServices(&machine);
    }
  }
}

// ------------------------------------------------------------ package check

class EnginePackageCheckTest : public EngineTest {};

TEST_F(EnginePackageCheckTest, CompletePackagePassesAfterTestingEachFileInOrder) {
  CopySamplePackage();
  folder.WriteFile("x64/driver/README.TXT", "not looked at");

  EXPECT_TRUE(CheckDriverPackage());

  std::vector<std::string> expected;
  for (const std::string& name : kPackageFiles) expected.push_back(".\\x64\\driver\\" + name);
  EXPECT_EQ(TextsOf("PathExists"), expected);
  EXPECT_EQ(machine.Operations(), std::vector<std::string>(kPackageFiles.size(), "PathExists")) << "changes nothing";
}

TEST_F(EnginePackageCheckTest, EachMissingFileFailsAndTheCheckStopsThere) {
  const fs::path package = CopySamplePackage();
  for (std::size_t missing = 0; missing < kPackageFiles.size(); ++missing) {
    SCOPED_TRACE(kPackageFiles[missing]);
    const fs::path file = package / kPackageFiles[missing];
    const fs::path aside = folder.path() / "aside";
    fs::rename(file, aside);
    machine.ClearCalls();

    EXPECT_FALSE(CheckDriverPackage());

    const std::vector<std::string> tested = TextsOf("PathExists");
    ASSERT_EQ(tested.size(), missing + 1) << "no file after the missing one is tested";
    EXPECT_EQ(tested.back(), ".\\x64\\driver\\" + kPackageFiles[missing]);
    fs::rename(aside, file);
  }
}

TEST_F(EnginePackageCheckTest, FolderNamedLikeAListedFileCounts) {
  const fs::path package = CopySamplePackage();
  fs::remove(package / "UNIRES.DLL");
  fs::create_directory(package / "UNIRES.DLL");
  EXPECT_TRUE(CheckDriverPackage());
}

TEST_F(EnginePackageCheckTest, PackageIsLookedForUnderTheCurrentDirectory) {
  CopySamplePackage("program/x64/driver");
  folder.MakeFolder("elsewhere");

  machine.SetCurrentFolder(folder.path() / "elsewhere");
  EXPECT_FALSE(CheckDriverPackage()) << "the package beside the program is not the one in use";

  machine.SetCurrentFolder(folder.path() / "program");
  EXPECT_TRUE(CheckDriverPackage());

  installerState.driverSourceFolder = ".\\x86\\driver\\";
  EXPECT_FALSE(CheckDriverPackage()) << "the 32-bit folder is not there";
}

TEST_F(EnginePackageCheckTest, SourceFolderLongerThanAnyPathBufferIsHandled) {
  // Longer than MAX_PATH: a fixed path buffer would overflow here.
  installerState.driverSourceFolder = ".\\" + std::string(300, 'p') + "\\";
  EXPECT_FALSE(CheckDriverPackage());
  EXPECT_EQ(TextsOf("PathExists"),
            std::vector<std::string>{installerState.driverSourceFolder + "RX730TP.INF"});
}

// ------------------------------------------------------------ staging

class EngineStagingTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    spool = folder.MakeFolder("spool/drivers/x64");
    staged = spool / "3";
    SetPrinterDriverDirectory(installerState, spool.string() + "\\3");
  }

  struct Reported {
    std::string name;
    StagedFile what;
    std::uint64_t atMs;  // the virtual clock when it was reported
  };

  bool Stage() {
    machine.ClearCalls();
    reported.clear();
    return StageDriverFiles([this](const std::string& name, StagedFile what) {
      reported.push_back({name, what, machine.NowMs()});
    });
  }

  // Files the staging reported: the wizard steps its bar once for each.
  int StepsDuringStaging() const { return static_cast<int>(reported.size()); }

  std::vector<std::string> CopiedNames() {
    std::vector<std::string> names;
    for (const std::string& from : TextsOf("CopyFileTo")) {
      names.push_back(from.substr(std::string(".\\x64\\driver\\").size()));
    }
    return names;
  }

  fs::path spool, staged;
  std::vector<Reported> reported;
};

TEST_F(EngineStagingTest, EveryPackageFileIsCopiedWithAPauseAndAStepEachAndNoOtherFile) {
  const fs::path package = CopySamplePackage();
  folder.WriteFile("x64/driver/README.TXT", "extra file");

  ASSERT_TRUE(Stage());

  EXPECT_EQ(TextsOf("FindFirst"), std::vector<std::string>{".\\x64\\driver\\*.*"});
  EXPECT_EQ(TextsOf("CreateFolder"), std::vector<std::string>{spool.string() + "\\3"});
  for (const std::string& name : kPackageFiles) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(fs::is_regular_file(staged / name));
    EXPECT_EQ(ReadAll(staged / name), ReadAll(package / name));
  }
  EXPECT_FALSE(fs::exists(staged / "README.TXT")) << "not the package's";
  for (const SimulatedCall& copy : machine.CallsOf("CopyFileTo")) {
    const std::string name = copy.texts.at(0).substr(std::string(".\\x64\\driver\\").size());
    EXPECT_EQ(copy.texts.at(1), spool.string() + "\\3\\" + name);
    EXPECT_EQ(copy.numbers.at(0), 0u) << "fail-if-exists off";
  }
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(kPackageFiles.size(), 100));
  EXPECT_EQ(StepsDuringStaging(), 9);
  EXPECT_EQ(machine.CountOf("FindEnd"), 1u);
}

// Each file is reported once, after its pause, copied or kept; without a
// pause (the unattended mode) the clock does not move.
TEST_F(EngineStagingTest, EachFileIsReportedOnceAfterItsPauseAsCopiedOrKept) {
  CopySamplePackage();
  folder.WriteFile("spool/drivers/x64/3/UNIRES.DLL", "already there");
  ASSERT_TRUE(Stage());
  ASSERT_EQ(reported.size(), kPackageFiles.size());
  std::vector<std::string> names;
  for (std::size_t i = 0; i < reported.size(); ++i) {
    names.push_back(reported[i].name);
    EXPECT_EQ(reported[i].atMs, 100u * (i + 1)) << reported[i].name;
    EXPECT_EQ(reported[i].what, reported[i].name == "UNIRES.DLL" ? StagedFile::kKept : StagedFile::kCopied);
  }
  std::vector<std::string> sorted = kPackageFiles;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(names, sorted) << "the walk's order";

  fs::remove_all(staged);
  reported.clear();
  machine.ClearCalls();
  const std::uint64_t before = machine.NowMs();
  ASSERT_TRUE(StageDriverFiles([this](const std::string& name, StagedFile what) {
    reported.push_back({name, what, machine.NowMs()});
  }, 0));
  EXPECT_EQ(reported.size(), kPackageFiles.size());
  EXPECT_EQ(machine.NowMs(), before);
  EXPECT_EQ(machine.CountOf("Sleep"), 0u);
}

// A folder the walk cannot open is a failure: the package check has just
// found its files there. An empty one is walked to its end.
TEST_F(EngineStagingTest, UnwalkableSourceFolderFailsAnEmptyOneStagesNothing) {
  EXPECT_FALSE(Stage()) << "missing folder";
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
  EXPECT_TRUE(machine.Sleeps().empty());
  EXPECT_EQ(StepsDuringStaging(), 0);

  folder.MakeFolder("x64/driver");
  EXPECT_TRUE(Stage()) << "empty folder";
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
  EXPECT_TRUE(machine.Sleeps().empty()) << "\".\" and \"..\" cost no pause";
  EXPECT_EQ(StepsDuringStaging(), 0);
}

TEST_F(EngineStagingTest, ReadOnlyCopyBecomesNormalOthersKeepTheirAttributes) {
  const fs::path package = CopySamplePackage();
  ASSERT_TRUE(machine.SetAttributes((package / "RX730TP.dll").string(),
                                    kFileAttributeReadOnly | kFileAttributeArchive));

  ASSERT_TRUE(Stage());

  EXPECT_EQ(machine.GetAttributes((staged / "RX730TP.dll").string()), kFileAttributeNormal);
  EXPECT_EQ(machine.GetAttributes((staged / "RX730TP.gpd").string()), kFileAttributeArchive);
  const auto changes = machine.CallsOf("SetAttributes");
  ASSERT_EQ(changes.size(), 1u) << "only the read-only copy is touched";
  EXPECT_EQ(changes[0].texts.at(0), spool.string() + "\\3\\RX730TP.dll");
  EXPECT_EQ(changes[0].numbers.at(0), kFileAttributeNormal);
}

TEST_F(EngineStagingTest, ExistingDestinationFileIsLeftAloneButStillCounted) {
  CopySamplePackage();
  const fs::path old = folder.WriteFile("spool/drivers/x64/3/RX730TP.gpd", "older driver's description");
  const auto oldTime = fs::last_write_time(old) - std::chrono::hours(24 * 400);
  fs::last_write_time(old, oldTime);
  ASSERT_TRUE(machine.SetAttributes(old.string(), kFileAttributeReadOnly));

  ASSERT_TRUE(Stage());

  EXPECT_EQ(ReadAll(old), "older driver's description");
  EXPECT_EQ(fs::last_write_time(old), oldTime);
  EXPECT_EQ(machine.GetAttributes(old.string()), kFileAttributeReadOnly) << "attributes untouched";
  EXPECT_EQ(machine.CountOf("CreateFolder"), 0u) << "the folder was there";
  const std::vector<std::string> copied = CopiedNames();
  EXPECT_EQ(std::count(copied.begin(), copied.end(), "RX730TP.gpd"), 0);
  EXPECT_EQ(copied.size(), 8u);
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(kPackageFiles.size(), 100));
  EXPECT_EQ(StepsDuringStaging(), 9);
}

// Windows finds names whatever their letter case: a package spelled in
// lower case is complete, and a staged file spelled differently is the same file.
TEST_F(EngineStagingTest, NamesAreTheSameFilesWhateverTheirLetterCase) {
  const fs::path package = folder.MakeFolder("x64/driver");
  const fs::path sample = fs::path(VORNELL_SOURCE_DIR) / "tests/fixtures/package/x64/driver";
  for (const std::string& name : kPackageFiles) {
    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    fs::copy_file(sample / name, package / lower);
  }
  fs::remove(package / "unidrv.dll");
  fs::copy_file(sample / "UNIDRV.DLL", package / "UNIDRV.DLL");
  const fs::path kept = folder.WriteFile("spool/drivers/x64/3/unidrv.dll", "the driver's own copy");
  EXPECT_TRUE(CheckDriverPackage());

  ASSERT_TRUE(Stage());

  EXPECT_EQ(ReadAll(kept), "the driver's own copy");
  EXPECT_FALSE(fs::exists(staged / "UNIDRV.DLL")) << "not copied a second time under another spelling";
  const std::vector<std::string> copied = CopiedNames();
  EXPECT_EQ(std::count(copied.begin(), copied.end(), "UNIDRV.DLL"), 0);
  EXPECT_EQ(copied.size(), 8u);
}

TEST_F(EngineStagingTest, FailedCopyStopsAtOnceAndKeepsEarlierCopies) {
  CopySamplePackage();
  // The walk comes in name order here: four RX730TP files, then STDNAMES.GPD.
  machine.FailCopyOf("STDNAMES.GPD");

  EXPECT_FALSE(Stage());

  EXPECT_EQ(CopiedNames(), (std::vector<std::string>{"RX730TP.INF", "RX730TP.cat", "RX730TP.dll", "RX730TP.gpd",
                                                     "STDNAMES.GPD"}));
  for (const char* name : {"RX730TP.INF", "RX730TP.cat", "RX730TP.dll", "RX730TP.gpd"}) {
    EXPECT_TRUE(fs::exists(staged / name)) << name << " is not rolled back";
  }
  EXPECT_FALSE(fs::exists(staged / "STDNAMES.GPD"));
  EXPECT_FALSE(fs::exists(staged / "UNIDRV.DLL"));
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(4, 100)) << "no pause for the failed copy";
  EXPECT_EQ(StepsDuringStaging(), 4);
  EXPECT_EQ(machine.CountOf("FindEnd"), 1u);
}

TEST_F(EngineStagingTest, DestinationThatCannotBeCreatedFailsAtTheFirstCopy) {
  CopySamplePackage();
  SetPrinterDriverDirectory(installerState, (folder.path() / "no/such/spool").string() + "\\3");

  EXPECT_FALSE(Stage());

  EXPECT_EQ(machine.CountOf("CreateFolder"), 1u);
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 1u);
  EXPECT_TRUE(machine.Sleeps().empty());
  EXPECT_EQ(StepsDuringStaging(), 0);
}

TEST_F(EngineStagingTest, SubfolderOfThePackageIsSkipped) {
  CopySamplePackage();
  folder.WriteFile("x64/driver/Amd64/extra.cat", "inside a subfolder");

  ASSERT_TRUE(Stage());

  const std::vector<std::string> copied = CopiedNames();
  EXPECT_EQ(copied.size(), kPackageFiles.size());
  EXPECT_EQ(std::count(copied.begin(), copied.end(), "Amd64"), 0);
  EXPECT_FALSE(fs::exists(staged / "Amd64"));
  EXPECT_EQ(machine.Sleeps(), std::vector<std::uint32_t>(kPackageFiles.size(), 100));
  EXPECT_EQ(StepsDuringStaging(), 9);
}

TEST_F(EngineStagingTest, DirectoryBufferWithoutTerminatingZeroIsReadOnlyToItsEnd) {
  CopySamplePackage();
  installerState.printerDriverDirectory.fill('d');

  EXPECT_FALSE(Stage()) << "no such folder, so the first copy fails";

  const std::string directory(kPrinterDriverDirectorySize, 'd');
  EXPECT_EQ(TextsOf("CreateFolder"), std::vector<std::string>{directory});
  EXPECT_EQ(TextsOf("CopyFileTo", 1), std::vector<std::string>{directory + "\\RX730TP.INF"});
}

}  // namespace
}  // namespace vornell
