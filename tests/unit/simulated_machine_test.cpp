// The scripting the engine's tests rely on: printer lists that grow or
// appear late, device scans that fail part-way, errors that the next call
// overwrites, files in a real folder with Windows attributes, a virtual clock.
#include "platform/simulated/simulated_machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace vornell {
namespace {

constexpr std::uint32_t kListFlags = kPrinterEnumLocal | kPrinterEnumConnections;
constexpr std::uint32_t kRecord = SimulatedMachine::kPrinterRecordBytes;

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One attempt as the registration wait makes it: size call, buffer, fill.
struct Attempt {
  std::uint32_t needed = 0;
  bool filled = false;
  std::vector<std::string> names;
};

Attempt EnumerateOnce(SimulatedMachine& m) {
  Attempt a;
  a.needed = m.EnumPrintersNeeded(kListFlags);
  void* buffer = m.AllocZeroed(a.needed + 4);
  a.filled = m.EnumPrintersFill(kListFlags, buffer, a.needed, a.names);
  m.Free(buffer);
  return a;
}

// ----- printer queues -----

TEST(SimulatedPrinters, ByteCountFollowsTheNamesAndFillListsThemInOrder) {
  SimulatedMachine m;
  EXPECT_EQ(m.EnumPrintersNeeded(kListFlags), 0u);
  m.AddPrinter("Fax");
  m.AddPrinter("Orvane RX730TⅡ");
  const Attempt a = EnumerateOnce(m);
  EXPECT_EQ(a.needed, (kRecord + 4) + (kRecord + 16));  // names and their zeros
  EXPECT_TRUE(a.filled);
  EXPECT_EQ(a.names, (std::vector<std::string>{"Fax", "Orvane RX730TⅡ"}));
  EXPECT_EQ(m.LiveAllocations(), 0u);

  // The records are written into the caller's buffer: names behind them.
  std::vector<unsigned char> buffer(a.needed, 0xCC);
  std::vector<std::string> names;
  ASSERT_TRUE(m.EnumPrintersFill(kListFlags, buffer.data(), a.needed, names));
  EXPECT_EQ(std::memcmp(buffer.data() + 2 * kRecord, "Fax", 4), 0);
  EXPECT_EQ(buffer.back(), 0);

  // Flags without PRINTER_ENUM_LOCAL list none of these local queues.
  EXPECT_EQ(m.EnumPrintersNeeded(kPrinterEnumConnections), 0u);
}

TEST(SimulatedPrinters, FillFailsWhenTheBufferIsShorterThanNeededNow) {
  SimulatedMachine m;
  m.AddPrinter("Fax");
  const std::uint32_t needed = m.EnumPrintersNeeded(kListFlags);
  std::vector<unsigned char> buffer(needed);
  std::vector<std::string> names{"stale"};
  m.SetLastErrorValue(0);
  EXPECT_FALSE(m.EnumPrintersFill(kListFlags, buffer.data(), needed - 1, names));
  EXPECT_EQ(m.LastError(), kErrorInsufficientBuffer);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(m.EnumPrintersFill(kListFlags, buffer.data(), needed, names));
}

TEST(SimulatedPrinters, ListGrowsBetweenSizeAndFill) {
  SimulatedMachine m;
  m.AddPrinter("Fax");
  m.AddPrinterBetweenSizeAndFill("Orvane RX730TⅡ", 2);

  const Attempt first = EnumerateOnce(m);
  EXPECT_TRUE(first.filled);
  EXPECT_EQ(first.names, std::vector<std::string>{"Fax"});

  const Attempt second = EnumerateOnce(m);  // counted without it, filled with it
  EXPECT_EQ(second.needed, kRecord + 4);
  EXPECT_FALSE(second.filled);
  EXPECT_EQ(m.LastError(), kErrorInsufficientBuffer);

  const Attempt third = EnumerateOnce(m);
  EXPECT_TRUE(third.filled);
  EXPECT_EQ(third.names, (std::vector<std::string>{"Fax", "Orvane RX730TⅡ"}));
}

TEST(SimulatedPrinters, QueueAppearsAfterNEnumerationsWithoutAFailedFill) {
  SimulatedMachine m;
  m.AddPrinterAfterEnumerations("Orvane RX730TⅡ", 3);
  for (int attempt = 1; attempt <= 3; ++attempt) {
    const Attempt a = EnumerateOnce(m);
    EXPECT_TRUE(a.filled) << attempt;
    EXPECT_TRUE(a.names.empty()) << attempt;
  }
  const Attempt fourth = EnumerateOnce(m);
  EXPECT_TRUE(fourth.filled);
  EXPECT_EQ(fourth.names, std::vector<std::string>{"Orvane RX730TⅡ"});
}

TEST(SimulatedPrinters, QueueAppearsOnTheVirtualClock) {
  SimulatedMachine m;
  m.AddPrinterAtTime("Orvane RX730TⅡ LPT", 9000);
  m.Sleep(7000);
  EXPECT_TRUE(EnumerateOnce(m).names.empty());
  m.Sleep(1000);
  EXPECT_TRUE(EnumerateOnce(m).names.empty());
  m.Sleep(1000);
  EXPECT_EQ(EnumerateOnce(m).names, std::vector<std::string>{"Orvane RX730TⅡ LPT"});
}

// ----- allocation -----

TEST(SimulatedAllocation, ZeroedBlocksScriptedFailuresAndFrees) {
  SimulatedMachine m;
  m.FailAllocation(2);
  void* first = m.AllocZeroed(64);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(static_cast<unsigned char*>(first)[63], 0);
  EXPECT_EQ(m.AllocZeroed(64), nullptr);
  EXPECT_EQ(m.LastError(), sim_error::kNotEnoughMemory);
  void* third = m.AllocZeroed(0);
  EXPECT_NE(third, nullptr);
  EXPECT_EQ(m.LiveAllocations(), 2u);
  m.Free(first);
  m.Free(first);  // twice: counted, not handed to free()
  m.Free(nullptr);
  EXPECT_EQ(m.LiveAllocations(), 1u);
  EXPECT_EQ(m.BadFrees(), 1u);
  m.FailAllAllocations(true);
  EXPECT_EQ(m.AllocZeroed(8), nullptr);
  m.Free(third);
  EXPECT_EQ(m.CountOf("AllocZeroed"), 4u);
}

// ----- USB devices -----

const std::string kPrinterPath =
    "\\\\?\\usb#vid_f0e1&pid_c20b#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
const std::string kMousePath =
    "\\\\?\\usb#vid_046d&pid_c077#5&2&0&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

TEST(SimulatedUsb, WalksThePathsAndEndsWithNoMoreItems) {
  SimulatedMachine m;
  m.SetUsbDevicePaths({kMousePath, kPrinterPath});
  DeviceSet set = m.GetUsbDeviceSet(kDigcfPresent | kDigcfDeviceInterface);
  ASSERT_NE(set, nullptr);
  char path[1024];
  ASSERT_TRUE(m.EnumUsbDeviceInterface(set, 1));
  ASSERT_TRUE(m.GetUsbDeviceInterfacePath(set, 1, path, sizeof path));
  EXPECT_EQ(std::string(path), kPrinterPath);
  EXPECT_FALSE(m.EnumUsbDeviceInterface(set, 2));
  EXPECT_EQ(m.LastError(), sim_error::kNoMoreItems);
  EXPECT_EQ(m.LiveDeviceSets(), 1u);
  m.DestroyDeviceSet(set);
  EXPECT_EQ(m.LiveDeviceSets(), 0u);
  EXPECT_EQ(m.BadHandleUses(), 0u);
  m.DestroyDeviceSet(set);
  EXPECT_FALSE(m.EnumUsbDeviceInterface(set, 0));
  EXPECT_EQ(m.BadHandleUses(), 2u);
  EXPECT_EQ(m.CallsOf("GetUsbDeviceSet")[0].numbers, std::vector<std::uint64_t>{18});
}

TEST(SimulatedUsb, RefusedSetWrongFlagsAndScriptedFailures) {
  SimulatedMachine m;
  m.SetUsbDevicePaths({kMousePath, kPrinterPath, kPrinterPath});
  DeviceSet noInterfaces = m.GetUsbDeviceSet(kDigcfPresent);
  EXPECT_FALSE(m.EnumUsbDeviceInterface(noInterfaces, 0));
  m.DestroyDeviceSet(noInterfaces);

  m.FailEnumAt(1, 13);
  DeviceSet set = m.GetUsbDeviceSet(18);
  EXPECT_TRUE(m.EnumUsbDeviceInterface(set, 0));
  EXPECT_FALSE(m.EnumUsbDeviceInterface(set, 1));
  EXPECT_EQ(m.LastError(), 13u);
  EXPECT_FALSE(m.EnumUsbDeviceInterface(set, 2));

  m.FailDetailAt(0);
  char path[1024];
  EXPECT_FALSE(m.GetUsbDeviceInterfacePath(set, 0, path, sizeof path));
  EXPECT_EQ(m.LastError(), kErrorInsufficientBuffer);
  m.DestroyDeviceSet(set);

  m.RefuseDeviceSet(true);
  EXPECT_EQ(m.GetUsbDeviceSet(18), nullptr);
  EXPECT_EQ(m.LiveDeviceSets(), 0u);
}

TEST(SimulatedUsb, PathLongerThanTheBufferFailsAndLeavesItAlone) {
  SimulatedMachine m;
  const std::string longPath = kPrinterPath + std::string(1100, 'x');
  m.SetUsbDevicePaths({longPath, kPrinterPath});
  DeviceSet set = m.GetUsbDeviceSet(18);
  char path[1024];
  std::memset(path, 'Q', sizeof path);
  EXPECT_FALSE(m.GetUsbDeviceInterfacePath(set, 0, path, sizeof path));
  EXPECT_EQ(path[0], 'Q');
  EXPECT_EQ(path[sizeof path - 1], 'Q');
  // A path exactly one byte too long for its terminator fails too.
  EXPECT_FALSE(m.GetUsbDeviceInterfacePath(set, 1, path, kPrinterPath.size()));
  EXPECT_TRUE(m.GetUsbDeviceInterfacePath(set, 1, path, kPrinterPath.size() + 1));
  EXPECT_EQ(m.CallsOf("GetUsbDeviceInterfacePath")[0].numbers,
            (std::vector<std::uint64_t>{0, 1024}));
  m.DestroyDeviceSet(set);
}

// ----- driver installation and the last error -----

TEST(SimulatedDriverInstall, SecondCallOverwritesTheFirstError) {
  SimulatedMachine m;
  ScopedTempFolder folder;
  folder.WriteFile("drv/3/RX730TP.INF", "[Version]");
  m.SetCurrentFolder(folder.path());
  // As on Windows, an INF that names no file fails both calls with error 2.
  EXPECT_FALSE(m.UpdateDriver("USBPRINT\\OrvaneRX730TII87C8", "drv\\3\\NONE.INF", 1, nullptr));
  EXPECT_EQ(m.LastError(), 2u);
  EXPECT_EQ(m.SetupCopyOemInf("drv\\3\\NONE.INF", kSpostPath, kSpCopyNewer), 0);
  EXPECT_EQ(m.LastError(), 2u);
  m.ClearCalls();
  m.SetUpdateDriverResult(false, 0xE000020B);
  m.SetCopyOemInfResult(0, 2);
  EXPECT_FALSE(m.UpdateDriver("USBPRINT\\OrvaneRX730TII87C8", "drv\\3\\RX730TP.INF", 1, nullptr));
  EXPECT_EQ(m.LastError(), 0xE000020Bu);
  EXPECT_EQ(m.SetupCopyOemInf("drv\\3\\RX730TP.INF", kSpostPath, kSpCopyNewer), 0);
  EXPECT_EQ(m.LastError(), 2u);

  const auto update = m.CallsOf("UpdateDriver").at(0);
  EXPECT_EQ(update.texts, (std::vector<std::string>{"USBPRINT\\OrvaneRX730TII87C8",
                                                    "drv\\3\\RX730TP.INF"}));
  EXPECT_EQ(update.numbers, (std::vector<std::uint64_t>{1, 0}));
  EXPECT_EQ(m.CallsOf("SetupCopyOemInf").at(0).numbers, (std::vector<std::uint64_t>{1, 4}));
  EXPECT_EQ(m.Operations({"UpdateDriver", "LastError", "SetupCopyOemInf"}),
            (std::vector<std::string>{"UpdateDriver", "LastError", "SetupCopyOemInf", "LastError"}));
  EXPECT_EQ(m.CallsOf("LastError")[1].numbers, std::vector<std::uint64_t>{2});

  // Any result is passed through: only the caller decides that 2 is not 1.
  m.SetCopyOemInfResult(2, 0);
  EXPECT_EQ(m.SetupCopyOemInf("drv\\3\\RX730TP.INF", 1, 4), 2);
  EXPECT_EQ(m.LastError(), 0u);
  m.SetUpdateDriverResult(true);
  EXPECT_FALSE(m.UpdateDriver("h", "drv\\3\\RX730TP.INF", 1, nullptr)) << "no device to update";
  EXPECT_EQ(m.LastError(), 0xE000020Bu);
  m.SetUsbDevicePaths({"\\\\?\\USB#VID_F0E1&PID_C20B#1"});
  EXPECT_TRUE(m.UpdateDriver("h", "drv\\3\\RX730TP.INF", 1, nullptr));
}

TEST(SimulatedDriverInstall, Wow64QueryAndNotificationsAndStarts) {
  SimulatedMachine m;
  bool flag = true;
  EXPECT_TRUE(m.QueryIsWow64Process(flag));
  EXPECT_FALSE(flag);
  m.SetWow64(true);
  EXPECT_TRUE(m.QueryIsWow64Process(flag));
  EXPECT_TRUE(flag);
  m.SetWow64(std::nullopt);
  flag = true;
  EXPECT_FALSE(m.QueryIsWow64Process(flag));
  EXPECT_TRUE(flag);  // left as the caller had it

  int window = 0;
  m.RegisterUsbDeviceNotification(&window);
  EXPECT_EQ(m.CallsOf("RegisterUsbDeviceNotification")[0].numbers[0],
            reinterpret_cast<std::uintptr_t>(&window));

  m.SetStartResults({2, 0});
  EXPECT_EQ(m.StartRundll32("printui.dll,PrintUIEntry /y /n \"Orvane RX730TⅡ\""), 2u);
  EXPECT_EQ(m.StartRundll32("b"), 0u);
  EXPECT_EQ(m.StartRundll32("c"), 33u);
  m.SetDefaultStartResult(42);
  EXPECT_EQ(m.StartRundll32("d"), 42u);
  EXPECT_EQ(m.CallsOf("StartRundll32")[0].texts[0],
            "printui.dll,PrintUIEntry /y /n \"Orvane RX730TⅡ\"");
}

// ----- the printer-driver directory -----

TEST(SimulatedDriverDirectory, FitsTooLongAndGarbage) {
  SimulatedMachine m;
  m.SetDriverDirectory("/tmp/spool/drivers/x64");
  char buffer[264];
  ASSERT_TRUE(m.GetDriverDirectory(buffer, 260));
  EXPECT_STREQ(buffer, "/tmp/spool/drivers/x64");

  m.SetDriverDirectory(std::string(260, 'd'));  // 261 bytes with its zero
  std::memset(buffer, 'Q', sizeof buffer);
  EXPECT_FALSE(m.GetDriverDirectory(buffer, 260));
  EXPECT_EQ(m.LastError(), kErrorInsufficientBuffer);
  EXPECT_EQ(buffer[0], 'Q');
  m.SetDriverDirectory(std::string(259, 'd'));
  EXPECT_TRUE(m.GetDriverDirectory(buffer, 260));
  EXPECT_EQ(buffer[259], '\0');

  m.FailDriverDirectory(std::string(300, 'G'), 5);
  std::memset(buffer, 0, sizeof buffer);
  EXPECT_FALSE(m.GetDriverDirectory(buffer, 260));
  EXPECT_EQ(m.LastError(), 5u);
  EXPECT_EQ(buffer[259], 'G');  // no terminator: the garbage fills the limit
  EXPECT_EQ(buffer[260], '\0');  // and not a byte beyond it
}

// ----- files -----

class SimulatedFiles : public ::testing::Test {
 protected:
  void SetUp() override { m.SetCurrentFolder(root.path()); }
  ScopedTempFolder root;
  SimulatedMachine m;
};

TEST_F(SimulatedFiles, RelativePathsResolveAgainstTheChosenFolderWithBackslashes) {
  root.WriteFile("x64/driver/RX730TP.INF", "[Version]");
  EXPECT_TRUE(m.PathExists(".\\x64\\driver\\RX730TP.INF"));
  EXPECT_TRUE(m.PathExists(".\\x64\\driver\\"));  // a folder counts as present
  EXPECT_FALSE(m.PathExists(".\\x64\\driver\\UNIDRV.HLP"));
  EXPECT_EQ(m.LastError(), sim_error::kFileNotFound);
  EXPECT_EQ(m.Resolve(".\\x64\\a.txt"), root.path() / "x64/a.txt");

  ScopedTempFolder other;
  m.SetCurrentFolder(other.path());
  EXPECT_FALSE(m.PathExists(".\\x64\\driver\\RX730TP.INF"));
  // Absolute paths do not depend on it.
  EXPECT_TRUE(m.PathExists((root.path() / "x64\\driver\\RX730TP.INF").string()));
  // Without a chosen folder, relative paths find nothing, not the process's cwd.
  SimulatedMachine fresh;
  EXPECT_FALSE(fresh.PathExists("."));
  EXPECT_EQ(m.CallsOf("PathExists")[0].texts[0], ".\\x64\\driver\\RX730TP.INF");
}

TEST_F(SimulatedFiles, TrailByteThatLooksLikeABackslashStaysInTheName) {
  // "奬" is 8A 5C in GBK: its second byte is not a separator.
  const std::string name = "奬.txt";
  root.WriteFile("pkg/" + name, "x");
  EXPECT_TRUE(m.PathExists(".\\pkg\\" + name));
  FindData entry;
  FindHandle walk = m.FindFirst(".\\pkg\\*.*", entry);
  ASSERT_NE(walk, nullptr);
  std::vector<std::string> names;
  do names.push_back(entry.name);
  while (m.FindNext(walk, entry));
  m.FindEnd(walk);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", name}));
}

TEST_F(SimulatedFiles, CreateFolderOneLevelOnly) {
  EXPECT_TRUE(m.CreateFolder("drivers"));
  EXPECT_TRUE(std::filesystem::is_directory(root.path() / "drivers"));
  EXPECT_FALSE(m.CreateFolder("drivers"));
  EXPECT_EQ(m.LastError(), sim_error::kAlreadyExists);
  EXPECT_FALSE(m.CreateFolder("missing\\3"));
  EXPECT_EQ(m.LastError(), sim_error::kPathNotFound);
  EXPECT_EQ(m.GetAttributes("drivers"), kFileAttributeDirectory);
}

TEST_F(SimulatedFiles, CopyKeepsContentAndAttributesAndHonoursItsRules) {
  root.WriteFile("src/a.dll", "alpha");
  root.WriteFile("src/b.gpd", "beta");
  root.MakeFolder("src/sub");
  root.MakeFolder("dst");
  EXPECT_EQ(m.GetAttributes("src\\a.dll"), kFileAttributeArchive);
  ASSERT_TRUE(m.SetAttributes("src\\a.dll", kFileAttributeReadOnly | kFileAttributeArchive));

  ASSERT_TRUE(m.CopyFileTo("src\\a.dll", "dst\\a.dll", false));
  EXPECT_EQ(ReadAll(root.path() / "dst/a.dll"), "alpha");
  EXPECT_EQ(m.GetAttributes("dst\\a.dll"), kFileAttributeReadOnly | kFileAttributeArchive);
  ASSERT_TRUE(m.CopyFileTo("src\\b.gpd", "dst\\b.gpd", false));
  EXPECT_EQ(m.GetAttributes("dst\\b.gpd"), kFileAttributeArchive);

  // A read-only destination refuses to be replaced; failIfExists refuses any.
  EXPECT_FALSE(m.CopyFileTo("src\\b.gpd", "dst\\a.dll", false));
  EXPECT_EQ(m.LastError(), sim_error::kAccessDenied);
  EXPECT_FALSE(m.CopyFileTo("src\\a.dll", "dst\\b.gpd", true));
  EXPECT_EQ(m.LastError(), sim_error::kFileExists);
  EXPECT_TRUE(m.CopyFileTo("src\\a.dll", "dst\\b.gpd", false));
  EXPECT_EQ(ReadAll(root.path() / "dst/b.gpd"), "alpha");

  EXPECT_FALSE(m.CopyFileTo("src\\a.dll", "nowhere\\a.dll", false));
  EXPECT_EQ(m.LastError(), sim_error::kPathNotFound);
  EXPECT_FALSE(m.CopyFileTo("src\\zzz", "dst\\zzz", false));
  EXPECT_EQ(m.LastError(), sim_error::kFileNotFound);
  EXPECT_FALSE(m.CopyFileTo("src\\sub", "dst\\sub", false));  // a folder is no file
  EXPECT_EQ(m.LastError(), sim_error::kAccessDenied);

  m.FailCopyOf("b.gpd", 112);
  EXPECT_FALSE(m.CopyFileTo("src\\b.gpd", "dst\\c.gpd", false));
  EXPECT_EQ(m.LastError(), 112u);
  EXPECT_FALSE(std::filesystem::exists(root.path() / "dst/c.gpd"));
  EXPECT_EQ(m.CallsOf("CopyFileTo")[2].texts,
            (std::vector<std::string>{"src\\b.gpd", "dst\\a.dll"}));
}

TEST_F(SimulatedFiles, SetAttributesReplacesTheWholeValue) {
  root.WriteFile("f.txt", "");
  ASSERT_TRUE(m.SetAttributes("f.txt", kFileAttributeReadOnly | kFileAttributeArchive));
  ASSERT_TRUE(m.SetAttributes("f.txt", kFileAttributeNormal));
  EXPECT_EQ(m.GetAttributes("f.txt"), kFileAttributeNormal);
  ASSERT_TRUE(m.SetAttributes("f.txt", kFileAttributeNormal | kFileAttributeReadOnly));
  EXPECT_EQ(m.GetAttributes("f.txt"), kFileAttributeReadOnly);
  EXPECT_FALSE(m.SetAttributes("none.txt", kFileAttributeNormal));
  EXPECT_EQ(m.GetAttributes("none.txt"), kInvalidFileAttributes);
}

TEST_F(SimulatedFiles, FindGivesDotsFirstThenSortedEntries) {
  root.WriteFile("pkg/UNIDRV.DLL", "u");
  root.WriteFile("pkg/RX730TP.INF", "i");
  root.WriteFile("pkg/README", "r");
  root.MakeFolder("pkg/extra");
  FindData data;
  FindHandle walk = m.FindFirst(".\\pkg\\*.*", data);
  ASSERT_NE(walk, nullptr);
  std::vector<std::string> names{data.name};
  std::vector<std::uint32_t> attributes{data.attributes};
  while (m.FindNext(walk, data)) {
    names.push_back(data.name);
    attributes.push_back(data.attributes);
  }
  EXPECT_EQ(m.LastError(), sim_error::kNoMoreFiles);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "README", "RX730TP.INF", "UNIDRV.DLL",
                                             "extra"}));
  EXPECT_EQ(attributes, (std::vector<std::uint32_t>{0x10, 0x10, 0x20, 0x20, 0x20, 0x10}));
  EXPECT_EQ(m.OpenFindWalks(), 1u);
  m.FindEnd(walk);
  EXPECT_EQ(m.OpenFindWalks(), 0u);
  EXPECT_FALSE(m.FindNext(walk, data));
  EXPECT_EQ(m.BadHandleUses(), 1u);

  // Other masks, matched without regard to letter case.
  walk = m.FindFirst(".\\pkg\\*.inf", data);
  ASSERT_NE(walk, nullptr);
  EXPECT_EQ(data.name, "RX730TP.INF");
  EXPECT_FALSE(m.FindNext(walk, data));
  m.FindEnd(walk);

  EXPECT_EQ(m.FindFirst(".\\missing\\*.*", data), nullptr);
  EXPECT_EQ(m.LastError(), sim_error::kPathNotFound);
  EXPECT_EQ(m.FindFirst(".\\pkg\\*.zip", data), nullptr);
  EXPECT_EQ(m.LastError(), sim_error::kFileNotFound);
  EXPECT_EQ(m.OpenFindWalks(), 0u);
}

// ----- time, threads and the process's services -----

TEST(SimulatedClock, PausesAddUpWithoutRealSleeping) {
  SimulatedMachine m;
  const auto started = std::chrono::steady_clock::now();
  m.Sleep(7000);
  for (int i = 0; i < 20; ++i) m.Sleep(1000);
  m.Sleep(0);
  EXPECT_EQ(m.NowMs(), 27000u);
  EXPECT_EQ(m.Sleeps().size(), 22u);
  EXPECT_EQ(m.Sleeps().front(), 7000u);
  EXPECT_EQ(m.Sleeps().back(), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
}

TEST(SimulatedClock, CallsFromAWorkerAndTheTestThreadAreAllKept) {
  SimulatedMachine m;
  m.AddPrinter("Fax");
  std::thread worker([&] {
    for (int i = 0; i < 500; ++i) {
      EnumerateOnce(m);
      m.Sleep(1);
    }
  });
  for (int i = 0; i < 500; ++i) m.Sleep(2);
  worker.join();
  EXPECT_EQ(m.NowMs(), 1500u);
  EXPECT_EQ(m.CountOf("EnumPrintersFill"), 500u);
  EXPECT_EQ(m.LiveAllocations(), 0u);
}

TEST(SimulatedServices, DefaultIsASimulatedMachineAndTestsCanReplaceIt) {
  Services* const before = &GetServices();
  SetServices(nullptr);
  EXPECT_NE(dynamic_cast<SimulatedMachine*>(&GetServices()), nullptr);
  SimulatedMachine mine;
  SetServices(&mine);
  EXPECT_EQ(&GetServices(), &mine);
  GetServices().Sleep(5);
  EXPECT_EQ(mine.NowMs(), 5u);
  SetServices(before);
}

}  // namespace
}  // namespace vornell
