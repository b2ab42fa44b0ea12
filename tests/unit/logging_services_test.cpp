// The services decorator that logs every call, against the simulated
// machine and an in-memory log. Narrow literals are GBK bytes.
#include "platform/logging_services.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/simulated/memory_log.h"
#include "platform/simulated/simulated_machine.h"

namespace vornell {
namespace {

// The lines without their time stamps.
std::vector<std::string> Texts(const MemoryLog& sink) {
  std::vector<std::string> texts;
  for (const std::string& line : sink.Lines()) texts.push_back(line.substr(24));
  return texts;
}

TEST(LoggingServices, LogsEachCallWithArgumentsResultAndOnFailureTheError) {
  SimulatedMachine machine;
  ScopedTempFolder folder;
  folder.WriteFile("RX730TP.INF", "[Version]");
  machine.SetCurrentFolder(folder.path());
  machine.SetUsbDevicePaths({"\\\\?\\usb#vid_f0e1&pid_c20b#1"});
  machine.FailCopyOf("RX730TP.INF");  // access denied
  machine.AddPrinter("Orvane RX730TⅡ");
  MemoryLog sink;
  Log log;
  log.SetSink(&sink);
  LoggingServices services(machine, log);

  EXPECT_TRUE(services.UpdateDriver("USB\\VID_F0E1&PID_C20B", "RX730TP.INF", kInstallFlagForce, nullptr));
  EXPECT_FALSE(services.CopyFileTo("C:\\pkg\\RX730TP.INF", "C:\\drv\\RX730TP.INF", false));
  EXPECT_FALSE(services.PathExists("C:\\nowhere"));
  const std::uint32_t needed = services.EnumPrintersNeeded(kPrinterEnumLocal | kPrinterEnumConnections);
  void* buffer = services.AllocZeroed(needed);
  std::vector<std::string> names;
  EXPECT_TRUE(services.EnumPrintersFill(kPrinterEnumLocal | kPrinterEnumConnections, buffer, needed, names));
  services.Free(buffer);
  services.Sleep(3000);
  EXPECT_EQ(services.StartRundll32("printui.dll,PrintUIEntry /k /n \"Orvane RX730TⅡ\""), 33u);

  const std::string printer = "\"Orvane RX730T\xE2\x85\xA1\"";  // as UTF-8
  EXPECT_EQ(Texts(sink),
            (std::vector<std::string>{
                "UpdateDriver(\"USB\\VID_F0E1&PID_C20B\", \"RX730TP.INF\", flags 0x00000001): done",
                "CopyFileTo(\"C:\\pkg\\RX730TP.INF\", \"C:\\drv\\RX730TP.INF\", fail if exists no): "
                "failed, error 5 (0x00000005): Access is denied.",
                "PathExists(\"C:\\nowhere\"): no, error 2 (0x00000002): "
                "The system cannot find the file specified.",
                "EnumPrintersNeeded(flags 0x00000006): " + std::to_string(needed) + " bytes",
                "EnumPrintersFill(flags 0x00000006, buffer " + std::to_string(needed) +
                    " bytes): 1 printer: " + printer,
                "StartRundll32(printui.dll,PrintUIEntry /k /n " + printer + "): started (33)",
            }));
  // Every call reached the machine, in order, the unlogged ones too.
  EXPECT_EQ(machine.Operations({"UpdateDriver", "CopyFileTo", "PathExists", "EnumPrintersNeeded",
                                "AllocZeroed", "EnumPrintersFill", "Free", "Sleep", "StartRundll32"}),
            (std::vector<std::string>{"UpdateDriver", "CopyFileTo", "PathExists", "EnumPrintersNeeded",
                                      "AllocZeroed", "EnumPrintersFill", "Free", "Sleep",
                                      "StartRundll32"}));
  EXPECT_EQ(machine.LiveAllocations(), 0u);
}

// Writing a log line changes the thread's error on Windows (the file write,
// the conversions). The caller must still read the error of its own call.
class ErrorChangingSink final : public LogSink {
 public:
  explicit ErrorChangingSink(SimulatedMachine& machine) : machine_(machine) {}
  LogTime Now() override { return {}; }
  std::uint32_t ThreadId() override { return 0; }
  void Append(std::string_view line) override {
    lines_.emplace_back(line);
    machine_.SetLastErrorValue(1234);
  }
  SimulatedMachine& machine_;
  std::vector<std::string> lines_;
};

TEST(LoggingServices, CallerReadsTheErrorOfItsCallNotOfTheLogging) {
  SimulatedMachine machine;
  ScopedTempFolder folder;
  folder.WriteFile("RX730TP.INF", "[Version]");
  machine.SetCurrentFolder(folder.path());
  machine.SetUpdateDriverResult(false, sim_error::kNoSuchDevinst);
  machine.SetCopyOemInfResult(0, sim_error::kFileNotFound);
  ErrorChangingSink sink(machine);
  Log log;
  log.SetSink(&sink);
  LoggingServices services(machine, log);

  EXPECT_FALSE(services.UpdateDriver("USB\\VID_F0E1&PID_C20B", "RX730TP.INF", 1, nullptr));
  EXPECT_EQ(services.LastError(), sim_error::kNoSuchDevinst);
  EXPECT_EQ(services.LastError(), sim_error::kNoSuchDevinst);  // reading it changes nothing
  EXPECT_EQ(services.SetupCopyOemInf("RX730TP.INF", kSpostPath, kSpCopyNewer), 0);
  EXPECT_EQ(services.LastError(), sim_error::kFileNotFound);
  ASSERT_EQ(sink.lines_.size(), 2u);
  EXPECT_NE(sink.lines_[0].find("failed, error 3758096907 (0xE000020B): The device instance does not exist.\r\n"),
            std::string::npos)
      << sink.lines_[0];
  EXPECT_NE(sink.lines_[1].find(": 0, error 2 (0x00000002): The system cannot find the file specified."),
            std::string::npos)
      << sink.lines_[1];
  // Windows has no text for the signing codes: the line names them.
  machine.SetCopyOemInfResult(0, 0xE000024B);
  EXPECT_EQ(services.SetupCopyOemInf("RX730TP.INF", kSpostPath, kSpCopyNewer), 0);
  EXPECT_EQ(services.LastError(), 0xE000024Bu);
  ASSERT_EQ(sink.lines_.size(), 3u);
  EXPECT_NE(sink.lines_[2].find(": 0, error 3758096971 (0xE000024B, ERROR_FILE_HASH_NOT_IN_CATALOG): a file of the "
                                "package is not the one its signed catalog lists"),
            std::string::npos)
      << sink.lines_[2];
}

// Each concern's accessor reaches the one object installed, decorator or
// machine: an error left by a file call is what the spooler's interface, or
// any other, reads next, and the decorator reads it from the machine once.
TEST(LoggingServices, EveryConcernReachesTheSameServicesAndLastError) {
  SimulatedMachine machine;
  SetServices(&machine);
  MemoryLog sink;
  GetLog().SetSink(&sink);
  {
    LoggedServices logged;
    EXPECT_NE(static_cast<Files*>(&machine), &GetFiles());
    EXPECT_FALSE(GetFiles().PathExists("C:\\nowhere"));
    EXPECT_EQ(GetSpooler().LastError(), sim_error::kFileNotFound);
    EXPECT_EQ(GetOwnInstallation().LastError(), sim_error::kFileNotFound);
    EXPECT_EQ(GetSystemErrors().LastError(), sim_error::kFileNotFound);
  }
  EXPECT_EQ(machine.Operations({"PathExists", "LastError"}), (std::vector<std::string>{"PathExists", "LastError"}));
  EXPECT_EQ(Texts(sink).size(), 1u);
  EXPECT_EQ(static_cast<Files*>(&machine), &GetFiles());
  EXPECT_EQ(static_cast<UsbDevices*>(&machine), &GetUsbDevices());
  EXPECT_EQ(static_cast<ProcessCalls*>(&machine), &GetProcessCalls());
  GetLog().SetSink(nullptr);
  SetServices(nullptr);
}

}  // namespace
}  // namespace vornell
