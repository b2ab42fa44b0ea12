// The whole wizard in a hostile environment, on the headless window against
// the simulated machine over a real temporary folder: current directories
// that are long or named in GBK, package files with GBK names, a destination
// that already holds the package, a package file that cannot be read, and a
// printer-driver directory at the edge of its buffer. Whatever happens, the
// only place written to is the staging folder under the driver directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framework/headless/headless.h"
#include "tests/unit/engine_test_support.h"
#include "platform/simulated/simulated_machine.h"
#include "res/resource.h"
#include "engine/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace vornell {
namespace {

namespace fs = std::filesystem;
using headless::HeadlessWindow;
using headless::MessageBoxRecord;

const std::vector<std::string> kPackageFiles = {"RX730TP.INF", "RX730TP.dll",  "RX730TP.gpd", "STDNAMES.GPD",
                                                "UNIDRV.DLL",  "UNIDRV.HLP",   "UNIDRVUI.DLL", "UNIRES.DLL", "RX730TP.cat"};
constexpr char kPrinterPath[] =
    "\\\\?\\usb#vid_f0e1&pid_c20b#0000RX730T#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
// GBK bytes spelled out, so nothing leans on the compiler's character set.
const std::string kUsbQueue = "Orvane RX730T\xA2\xF2";
const std::string kErrorCaption = "\xB4\xED\xCE\xF3\xCC\xE1\xCA\xBE";  // 错误提示
const std::string kPackageIncomplete = "错误提示：   缺失安装文件，请重新下载安装程序";
const std::string kCopyFailed = "错误提示：   文件在复制过程中失败，请退出重新安装";
const std::string kInstalled = "打印机驱动安装成功！";

const std::string kSetupFolder = "\xB0\xB2\xD7\xB0\xB3\xCC\xD0\xF2";  // 安装程序
const std::string kPrinterFolder = "\xB4\xF2\xD3\xA1\xBB\xFA";        // 打印机
const std::string kGbkChar = "\xB4\xF2";                              // 打
// Double-byte characters whose second byte is an ASCII character: '\',
// '@', 'a' and 'z'. Byte-wise path or case handling breaks them.
const std::string kBackslashTrail = "\x8A\x5C\x81\x5C";  // 奬乗
const std::string kLetterTrails = "\x81\x40\x81\x61\x81\x7A";  // 丂乤亃

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file and folder under `root` with its content ("/" for a folder),
// keyed by its bytes.
using Tree = std::map<std::string, std::string>;

Tree Snapshot(const fs::path& root) {
  Tree tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string key = entry.path().string();
    tree[key] = entry.is_directory() ? "/" : ReadAll(entry.path());
  }
  return tree;
}

bool IsUnder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

// A folder path of exactly `length` bytes under `base`, made of components
// of at most 200 bytes; with `gbk` each component ends in double-byte
// characters, so the path's last character is one.
std::string PathOfLength(const std::string& base, std::size_t length, bool gbk) {
  std::string path = base;
  while (path.size() < length) {
    std::size_t room = length - path.size() - 1;  // after the separator
    if (room > 200) room = length - path.size() - 1 - 200 == 1 ? 199 : 200;  // never leave one byte
    if (room == 0) {
      ADD_FAILURE() << "no room for a component";
      break;
    }
    std::string component;
    if (gbk) {
      if (room % 2 != 0) component = "d";
      while (component.size() < room) component += kGbkChar;
    } else {
      component.assign(room, 'd');
    }
    path += "/" + component;
  }
  return path;
}

class HostileEnvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installerState = InstallerState{};
    root = folder.path().string();
    driverDirectory = folder.MakeFolder("spool/drivers/x64").string();
    machine.SetDriverDirectory(driverDirectory);
    machine.SetUsbDevicePaths({kPrinterPath});
    machine.AddPrinter(kUsbQueue);
    SetServices(&machine);
  }

  void TearDown() override {
    engine_test::ExpectNothingLeftOpen(machine);
    SetServices(nullptr);
    installerState = InstallerState{};
  }

  fs::path Staged() const { return fs::path(driverDirectory) / "3"; }

  // The sample package in <current>/x64/driver; `current` becomes the
  // current folder and is returned.
  fs::path PlacePackage(const fs::path& current) {
    const fs::path target = current / "x64" / "driver";
    fs::create_directories(target);
    const fs::path sample = fs::path(VORNELL_SOURCE_DIR) / "tests/fixtures/package/x64/driver";
    for (const std::string& name : kPackageFiles) fs::copy_file(sample / name, target / name);
    machine.SetCurrentFolder(current);
    return target;
  }

  struct Run {
    std::vector<MessageBoxRecord> boxes;
    std::string status;
    WizardStep step = WizardStep::kStart;
    bool ended = false;
  };

  // A fresh start of the wizard, walked through the license and the
  // connection pages into the install step. A box, when one is expected,
  // is answered Yes (leave); an unexpected box fails the test.
  Run Install(bool expectBox, const PackageManifest* manifest = nullptr) {
    installerState = InstallerState{};
    if (manifest != nullptr) installerState.packageManifest = *manifest;
    auto dialog = std::make_unique<CVornellDlg>();
    EXPECT_TRUE(headless::Open(*dialog));
    HeadlessWindow& window = headless::Headless(*dialog);
    EXPECT_TRUE(headless::ClickIfEnabled(*dialog, IDC_NEXT));
    EXPECT_EQ(installerState.step, WizardStep::kConnectionCheck) << "the connection page";
    if (expectBox) window.ScriptAnswer(kIdYes);
    EXPECT_TRUE(headless::ClickIfEnabled(*dialog, IDC_NEXT));
    Run run{window.messageBoxes(), window.control(IDC_STATUS).text, installerState.step, window.ended()};
    return run;
  }

  void ExpectSuccess(const Run& run) {
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.step, WizardStep::kSuccess);
    EXPECT_EQ(run.status, kInstalled);
  }

  void ExpectBox(const Run& run, const std::string& text) {
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, text);
    EXPECT_EQ(run.boxes[0].caption, kErrorCaption);
    EXPECT_EQ(run.boxes[0].type, kMbYesNo);
    EXPECT_TRUE(run.ended) << "Yes leaves the wizard";
  }

  // Every call that changes the file system named the staging folder or a
  // file directly in it.
  void ExpectWritesOnlyInStaging() {
    const std::string staging = driverDirectory + "\\3";
    for (const SimulatedCall& call : machine.Calls()) {
      std::string target;
      if (call.operation == "CreateFolder" || call.operation == "SetAttributes") {
        target = call.texts.at(0);
      } else if (call.operation == "CopyFileTo") {
        target = call.texts.at(1);
      } else {
        continue;
      }
      SCOPED_TRACE(call.operation + " " + target);
      // The checked copy of the package is made under Program Files.
      if (target == staging || target.starts_with("C:\\Program Files\\Orvane")) continue;
      ASSERT_GT(target.size(), staging.size() + 1);
      EXPECT_EQ(target.substr(0, staging.size() + 1), staging + "\\");
      EXPECT_EQ(target.find('\\', staging.size() + 1), std::string::npos) << "no deeper folder";
    }
  }

  // Outside the driver directory the tree is as it was.
  void ExpectUnchangedOutsideDriverDirectory(const Tree& before) {
    Tree after = Snapshot(folder.path());
    Tree old = before;
    for (Tree* tree : {&old, &after}) {
      std::erase_if(*tree, [&](const auto& item) {
        return IsUnder(item.first, driverDirectory) || item.first.find("/C:") != std::string::npos;
      });
    }
    EXPECT_EQ(after, old);
  }

  void ExpectPackageStaged(const fs::path& package) {
    for (const std::string& name : kPackageFiles) {
      SCOPED_TRACE(name);
      ASSERT_TRUE(fs::is_regular_file(Staged() / name));
      EXPECT_EQ(ReadAll(Staged() / name), ReadAll(package / name));
    }
  }

  ScopedTempFolder folder;
  SimulatedMachine machine;
  std::string root;
  std::string driverDirectory;
};

// -------------------------------------------------- the current directory

TEST_F(HostileEnvTest, PackageUnderALongOrGbkNamedCurrentDirectoryIsFoundAndStagedThere) {
  struct Case {
    const char* name;
    std::string current;
  };
  const std::vector<Case> cases = {
      {"GBK name", root + "/" + kSetupFolder + "/" + kPrinterFolder},
      {"GBK name with a backslash trail byte", root + "/" + kBackslashTrail},
      {"near the limit: the package's paths pass it", PathOfLength(root, 250, false)},
      {"at the limit", PathOfLength(root, 259, true)},
      {"beyond the limit", PathOfLength(root, 300, true)},
      {"far beyond", PathOfLength(root, 1200, false)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Staged());
    machine.ClearCalls();
    const fs::path package = PlacePackage(c.current);
    const Tree before = Snapshot(folder.path());

    const Run run = Install(false);

    ExpectSuccess(run);
    ExpectPackageStaged(package);
    ExpectWritesOnlyInStaging();
    ExpectUnchangedOutsideDriverDirectory(before);
    fs::remove_all(c.current.substr(0, c.current.find('/', root.size() + 1)));
  }
}

TEST_F(HostileEnvTest, PackageMissingFromAnOddCurrentDirectoryIsReportedAndNothingIsWritten) {
  const std::vector<std::string> currents = {
      root + "/" + kSetupFolder + "/" + kPrinterFolder,
      PathOfLength(root, 259, true),
      PathOfLength(root, 700, true),
  };
  // The program's folder holds the package; the current directory does not.
  PlacePackage(folder.path() / "program");
  for (const std::string& current : currents) {
    SCOPED_TRACE(current.size());
    fs::create_directories(current);
    machine.SetCurrentFolder(current);
    machine.ClearCalls();
    const Tree before = Snapshot(folder.path());

    const Run run = Install(true);

    ExpectBox(run, kPackageIncomplete);
    EXPECT_EQ(machine.CountOf("CreateFolder"), 0u);
    EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
    EXPECT_EQ(machine.CountOf("SetAttributes"), 0u);
    EXPECT_EQ(Snapshot(folder.path()), before) << "not even the staging folder";
  }
}

// ------------------------------------------------------------ GBK names

TEST_F(HostileEnvTest, PackageFilesWithGbkNamesAreStagedUnderTheSameBytes) {
  const fs::path package = PlacePackage(folder.path() / kSetupFolder);
  const std::vector<std::string> extras = {
      "\xCB\xB5\xC3\xF7.txt",              // 说明.txt
      kLetterTrails + ".TXT",              // trail bytes that read as '@', 'a', 'z'
      kSetupFolder + " " + kPrinterFolder + ".pdf",
  };
  for (const std::string& name : extras) folder.WriteFile(package / name, "content of " + name);
  const Tree before = Snapshot(folder.path());
  // A package that holds such names, and a program built for it.
  const PackageManifest manifest = engine_test::ManifestOf(package);

  ExpectSuccess(Install(false, &manifest));

  std::vector<std::string> expected = kPackageFiles;
  expected.insert(expected.end(), extras.begin(), extras.end());
  std::vector<std::string> listed;
  for (const fs::directory_entry& entry : fs::directory_iterator(Staged())) {
    listed.push_back(entry.path().filename().string());
  }
  std::sort(listed.begin(), listed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected) << "no name changed, none added";
  for (const std::string& name : extras) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ReadAll(Staged() / name), "content of " + name);
    bool copied = false;
    for (const SimulatedCall& copy : machine.CallsOf("CopyFileTo")) {
      if (copy.texts.at(0) == std::string(SimulatedMachine::kProgramFolder) + "\\x64\\driver\\" + name) {
        copied = true;
        EXPECT_EQ(copy.texts.at(1), driverDirectory + "\\3\\" + name);
      }
    }
    EXPECT_TRUE(copied);
  }
  ExpectWritesOnlyInStaging();
  ExpectUnchangedOutsideDriverDirectory(before);
}

// ----------------------------------------------- the destination is not empty

TEST_F(HostileEnvTest, FilesAlreadyInTheDestinationStayByteForByteWithTheirAttributes) {
  const fs::path package = PlacePackage(folder.path() / "setup");
  struct Existing {
    std::string name;
    std::string content;
    std::uint32_t attributes;
  };
  const std::vector<Existing> existing = {
      {"RX730TP.INF", "; an older driver's INF\r\n", kFileAttributeReadOnly},
      {"UNIDRV.DLL", std::string("MZ\0\x01older", 8), kFileAttributeArchive | 0x2 /* hidden */},
      {"RX730TP.gpd", ReadAll(package / "RX730TP.gpd"), kFileAttributeReadOnly | kFileAttributeArchive},
  };
  std::map<std::string, fs::file_time_type> times;
  for (const Existing& file : existing) {
    const fs::path written = folder.WriteFile(Staged() / file.name, file.content);
    fs::last_write_time(written, fs::last_write_time(written) - std::chrono::hours(24 * 30));
    times[file.name] = fs::last_write_time(written);
    ASSERT_TRUE(machine.SetAttributes(written.string(), file.attributes));
  }
  machine.ClearCalls();

  // Twice: a second run finds the whole package in place.
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    ExpectSuccess(Install(false));
    for (const Existing& file : existing) {
      SCOPED_TRACE(file.name);
      const fs::path staged = Staged() / file.name;
      EXPECT_EQ(ReadAll(staged), file.content);
      EXPECT_EQ(fs::last_write_time(staged), times[file.name]);
      EXPECT_EQ(machine.GetAttributes(staged.string()), file.attributes);
    }
    for (const SimulatedCall& call : machine.Calls()) {
      if (call.operation != "CopyFileTo" && call.operation != "SetAttributes") continue;
      const std::string target = call.texts.at(call.operation == "CopyFileTo" ? 1 : 0);
      for (const Existing& file : existing) {
        EXPECT_NE(target, driverDirectory + "\\3\\" + file.name) << call.operation;
      }
    }
    EXPECT_EQ(machine.CountOf("CopyFileTo"), round == 1 ? 6u : 0u);
    machine.ClearCalls();
  }
  for (const char* name : {"RX730TP.dll", "STDNAMES.GPD", "UNIDRV.HLP", "UNIDRVUI.DLL", "UNIRES.DLL"}) {
    EXPECT_EQ(ReadAll(Staged() / name), ReadAll(package / name)) << name;
  }
}

// ------------------------------------------------ a package file held open

TEST_F(HostileEnvTest, UnreadablePackageFileStopsTheCopyWithNothingHalfWrittenAndARetryCompletes) {
  constexpr std::uint32_t kSharingViolation = 32;
  const fs::path package = PlacePackage(folder.path() / "setup");
  machine.FailCopyOf("UNIDRV.HLP", kSharingViolation);
  const Tree before = Snapshot(folder.path());

  const Run failed = Install(true);

  ExpectBox(failed, kCopyFailed);
  EXPECT_NE(failed.step, WizardStep::kSuccess);
  // The walk comes in name order: five files before the unreadable one.
  for (const std::string& name : kPackageFiles) {
    SCOPED_TRACE(name);
    const fs::path staged = Staged() / name;
    if (name < "UNIDRV.HLP") {
      ASSERT_TRUE(fs::is_regular_file(staged));
      EXPECT_EQ(ReadAll(staged), ReadAll(package / name)) << "a complete copy";
    } else {
      EXPECT_FALSE(fs::exists(staged)) << "nothing of it or after it";
    }
  }
  EXPECT_EQ(machine.CountOf("UpdateDriver"), 0u) << "no installation from a partial folder";
  ExpectWritesOnlyInStaging();
  ExpectUnchangedOutsideDriverDirectory(before);

  // The file is released and the user starts the installer again.
  SimulatedMachine released;
  released.SetDriverDirectory(driverDirectory);
  released.SetUsbDevicePaths({kPrinterPath});
  released.AddPrinter(kUsbQueue);
  released.SetCurrentFolder(folder.path() / "setup");
  SetServices(&released);
  ExpectSuccess(Install(false));
  SetServices(&machine);
  ExpectPackageStaged(package);
  EXPECT_EQ(released.CallsOf("CopyFileTo").size(), 3u) << "only what was missing";
  engine_test::ExpectNothingLeftOpen(released);
}

// --------------------------------------- the driver directory at its limit

TEST_F(HostileEnvTest, DriverDirectoryThatFitsTheFetchIsStagedIntoAndLongerOneIsACopyFailure) {
  const fs::path package = PlacePackage(folder.path() / "setup");
  for (const bool gbk : {false, true}) {
    for (const std::size_t length : {255u, 256u, 257u, 258u, 259u, 260u, 261u, 262u, 263u, 300u, 1000u}) {
      SCOPED_TRACE(std::string(gbk ? "GBK, " : "") + std::to_string(length) + " bytes");
      const std::string directory = PathOfLength(root + "/spool-" + std::to_string(length) + (gbk ? "g" : ""),
                                                 length, gbk);
      ASSERT_EQ(directory.size(), length);
      fs::create_directories(directory);
      machine.SetDriverDirectory(directory);
      machine.ClearCalls();
      const Tree before = Snapshot(folder.path());

      // The fetch asks for at most 260 bytes: a path and its zero must fit.
      const bool fits = length + 1 <= kPrinterDriverDirectoryFetchSize;
      const Run run = Install(!fits);

      ASSERT_EQ(machine.CountOf("GetDriverDirectory"), 1u);
      EXPECT_EQ(machine.CallsOf("GetDriverDirectory")[0].numbers.at(0), kPrinterDriverDirectoryFetchSize);
      const auto& buffer = installerState.printerDriverDirectory;
      if (fits) {
        ExpectSuccess(run);
        const std::string expected = directory + "\\3";
        EXPECT_EQ(std::string(buffer.data(), expected.size()), expected);
        EXPECT_TRUE(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(expected.size()), buffer.end(),
                                [](char ch) { return ch == '\0'; }));
        for (const std::string& name : kPackageFiles) {
          EXPECT_EQ(ReadAll(fs::path(directory) / "3" / name), ReadAll(package / name)) << name;
        }
      } else {
        ExpectBox(run, kCopyFailed);
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](char ch) { return ch == '\0'; }));
        EXPECT_EQ(machine.CountOf("CreateFolder"), 0u);
        EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
        EXPECT_EQ(machine.CountOf("UpdateDriver"), 0u);
        EXPECT_EQ(Snapshot(folder.path()), before) << "nothing written anywhere";
      }
      fs::remove_all(root + "/spool-" + std::to_string(length) + (gbk ? "g" : ""));
    }
  }
}

}  // namespace
}  // namespace vornell
