// The USB probe: which device paths name the printer, how the scan goes on
// past devices it cannot read, and what it answers for each outcome.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine_test_support.h"

namespace vornell {
namespace {

using namespace engine_test;

constexpr char kMatch[] = "vid_f0e1&pid_c20b";
constexpr char kClassSuffix[] = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

std::string UsbPath(const std::string& afterPrefix) {
  return "\\\\?\\usb#" + afterPrefix + kClassSuffix;
}

const std::string kPrinter = UsbPath("vid_f0e1&pid_c20b#0000RX730T");
const std::string kMouse = UsbPath("vid_046d&pid_c077#5&2a1b3c4d&0&1");
const std::string kHub = UsbPath("root_hub30#4&1a2b3c4d&0&0");

TEST(EngineUsbPathMatches, OnlyTheSeventeenBytesAfterThePrefixCount) {
  struct Case {
    const char* what;
    std::string path;
    bool matches;
  };
  const std::vector<Case> cases = {
      {"lower case", kPrinter, true},
      {"capitals", UsbPath("VID_F0E1&PID_C20B#0000RX730T"), true},
      {"composite function suffix", UsbPath("vid_f0e1&pid_c20b&mi_01#6&1e2d3c4b&0&0001"), true},
      {"nothing after the match text", "\\\\?\\usb#vid_f0e1&pid_c20b", true},
      {"behind a longer prefix", "\\\\?\\usbprint#vid_f0e1&pid_c20b#0000RX730T", false},
      {"inside the serial number", UsbPath("vid_046d&pid_c077#vid_f0e1&pid_c20b"), false},
      {"another product", UsbPath("vid_f0e1&pid_c20c#0000RX730T"), false},
      {"cut short", "\\\\?\\usb#vid_f0e1&pid_c20", false},
      {"prefix alone", "\\\\?\\usb#", false},
      {"empty", "", false},
      {"double-byte character in the piece", "\\\\?\\usb#vid_f0e1&pid_c20\xA2\xF2", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UsbPathMatches(c.path, kMatch), c.matches) << c.what << ": " << c.path;
  }
}

class EngineUsbProbeTest : public EngineTest {
 protected:
  std::vector<std::uint64_t> DetailIndexes() {
    std::vector<std::uint64_t> indexes;
    for (const SimulatedCall& call : machine.CallsOf("GetUsbDeviceInterfacePath")) {
      indexes.push_back(call.numbers.at(0));
    }
    return indexes;
  }
};

TEST_F(EngineUsbProbeTest, AttachedPrinterIsFoundWithinTheDetailBuffer) {
  machine.SetUsbDevicePaths({kHub, kMouse, kPrinter});
  std::string path;
  EXPECT_EQ(ProbeUsbPrinter(&path), UsbProbeResult::kFound);
  EXPECT_EQ(path, kPrinter);

  EXPECT_EQ(installerState.printerDetected, 1);
  const auto sets = machine.CallsOf("GetUsbDeviceSet");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].numbers.at(0), kDigcfPresent | kDigcfDeviceInterface);
  EXPECT_EQ(DetailIndexes(), (std::vector<std::uint64_t>{0, 1, 2}));
  for (const SimulatedCall& call : machine.CallsOf("GetUsbDeviceInterfacePath")) {
    // The 1024-byte detail record less its 4-byte size field.
    EXPECT_EQ(call.numbers.at(1), 1020u);
  }
  EXPECT_EQ(machine.CountOf("DestroyDeviceSet"), 1u);
}

TEST_F(EngineUsbProbeTest, FirstOfTwoPrintersEndsTheScan) {
  machine.SetUsbDevicePaths({kPrinter, UsbPath("VID_F0E1&PID_C20B#0000RX730U")});
  EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kFound);
  EXPECT_EQ(installerState.printerDetected, 1);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 1u);
  EXPECT_EQ(DetailIndexes(), std::vector<std::uint64_t>{0});
}

TEST_F(EngineUsbProbeTest, NoDevicesOrOnlyOthersLeaveTheFlagAlone) {
  std::string path = "untouched";
  EXPECT_EQ(ProbeUsbPrinter(&path), UsbProbeResult::kAbsent);
  EXPECT_EQ(path, "untouched");
  EXPECT_EQ(installerState.printerDetected, 0);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 1u) << "the first call already fails";
  EXPECT_EQ(machine.CountOf("GetUsbDeviceInterfacePath"), 0u);

  machine.SetUsbDevicePaths({kHub, kMouse, "\\\\?\\usbprint#vid_f0e1&pid_c20b#0000RX730T"});
  installerState.printerDetected = 1;  // from an earlier probe or the parallel-port button
  EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kAbsent);
  EXPECT_EQ(installerState.printerDetected, 1) << "the probe never clears the flag";
  EXPECT_EQ(machine.LiveDeviceSets(), 0u);
}

TEST_F(EngineUsbProbeTest, UnreadableDeviceBeforeThePrinterDoesNotHideIt) {
  // Longer than the detail buffer holds: that device is passed over.
  const std::string tooLong = UsbPath("vid_1234&pid_5678#" + std::string(1100, 'S'));
  machine.SetUsbDevicePaths({kMouse, tooLong, kHub, kPrinter});
  machine.FailDetailAt(2);  // and one whose detail call says the same

  EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kFound);

  EXPECT_EQ(installerState.printerDetected, 1);
  EXPECT_EQ(DetailIndexes(), (std::vector<std::uint64_t>{0, 1, 2, 3}));
}

// Only "no more items" ends the list as seen whole; any other failure on the
// way leaves the devices after it unknown, and one of them may be the printer.
TEST_F(EngineUsbProbeTest, ListThatFailsMidwayIsAFailedProbeNotAnAbsentPrinter) {
  machine.SetUsbDevicePaths({kMouse, kHub, kPrinter});
  machine.FailEnumAt(1, sim_error::kInvalidParameter);
  EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kFailed);
  EXPECT_EQ(installerState.printerDetected, 0);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 2u);
  EXPECT_EQ(DetailIndexes(), std::vector<std::uint64_t>{0});

  SimulatedMachine detail;
  SetServices(&detail);
  detail.SetUsbDevicePaths({kMouse, kHub, kPrinter});
  detail.FailDetailAt(1, sim_error::kNotEnoughMemory);
  EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kFailed);
  EXPECT_EQ(detail.CountOf("GetUsbDeviceInterfacePath"), 2u) << "no device after the unread one";
  EXPECT_EQ(detail.LiveDeviceSets(), 0u);

  SimulatedMachine ended;
  SetServices(&ended);
  ended.SetUsbDevicePaths({kMouse, kHub, kPrinter});
  ended.FailEnumAt(1, sim_error::kNoMoreItems);
  EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kAbsent);
  SetServices(&machine);
}

TEST_F(EngineUsbProbeTest, RefusedDeviceListIsAnsweredAsSuch) {
  machine.SetUsbDevicePaths({kPrinter});
  machine.RefuseDeviceSet(true);
  for (std::uint8_t before : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(before));
    installerState.printerDetected = before;
    EXPECT_EQ(ProbeUsbPrinter(), UsbProbeResult::kRefused);
    EXPECT_EQ(installerState.printerDetected, before);
  }
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 0u);
  EXPECT_EQ(machine.CountOf("DestroyDeviceSet"), 0u) << "no set to destroy";
}

}  // namespace
}  // namespace vornell
