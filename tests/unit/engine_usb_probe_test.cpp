// The USB probe: which device paths name the printer, how the scan goes on
// past devices it cannot read, and the message for a refused device list.
#include <gtest/gtest.h>

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
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(headless::Open(dialog));
  }

  headless::HeadlessWindow& window() { return headless::Headless(dialog); }

  std::vector<std::uint64_t> DetailIndexes() {
    std::vector<std::uint64_t> indexes;
    for (const SimulatedCall& call : machine.CallsOf("GetUsbDeviceInterfacePath")) {
      indexes.push_back(call.numbers.at(0));
    }
    return indexes;
  }

  Dialog dialog{IDD_VORNELL_DIALOG};
};

TEST_F(EngineUsbProbeTest, AttachedPrinterIsFoundWithinTheDetailBuffer) {
  machine.SetUsbDevicePaths({kHub, kMouse, kPrinter});
  ProbeUsbPrinter(dialog);

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
  EXPECT_TRUE(window().messageBoxes().empty());
}

TEST_F(EngineUsbProbeTest, FirstOfTwoPrintersEndsTheScan) {
  machine.SetUsbDevicePaths({kPrinter, UsbPath("VID_F0E1&PID_C20B#0000RX730U")});
  ProbeUsbPrinter(dialog);
  EXPECT_EQ(installerState.printerDetected, 1);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 1u);
  EXPECT_EQ(DetailIndexes(), std::vector<std::uint64_t>{0});
}

TEST_F(EngineUsbProbeTest, NoDevicesOrOnlyOthersLeaveTheFlagAlone) {
  ProbeUsbPrinter(dialog);
  EXPECT_EQ(installerState.printerDetected, 0);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 1u) << "the first call already fails";
  EXPECT_EQ(machine.CountOf("GetUsbDeviceInterfacePath"), 0u);

  machine.SetUsbDevicePaths({kHub, kMouse, "\\\\?\\usbprint#vid_f0e1&pid_c20b#0000RX730T"});
  installerState.printerDetected = 1;  // from an earlier probe or the parallel-port button
  ProbeUsbPrinter(dialog);
  EXPECT_EQ(installerState.printerDetected, 1) << "the probe never clears the flag";
  EXPECT_EQ(machine.LiveDeviceSets(), 0u);
  EXPECT_TRUE(window().messageBoxes().empty()) << "an absent printer is the caller's to tell";
}

TEST_F(EngineUsbProbeTest, UnreadableDeviceBeforeThePrinterDoesNotHideIt) {
  // Longer than the detail buffer holds: that device is passed over.
  const std::string tooLong = UsbPath("vid_1234&pid_5678#" + std::string(1100, 'S'));
  machine.SetUsbDevicePaths({kMouse, tooLong, kHub, kPrinter});
  machine.FailDetailAt(2);  // and one whose detail call fails for another reason

  ProbeUsbPrinter(dialog);

  EXPECT_EQ(installerState.printerDetected, 1);
  EXPECT_EQ(DetailIndexes(), (std::vector<std::uint64_t>{0, 1, 2, 3}));
}

TEST_F(EngineUsbProbeTest, FailingEnumerationEndsTheScan) {
  machine.SetUsbDevicePaths({kMouse, kHub, kPrinter});
  machine.FailEnumAt(1, sim_error::kInvalidParameter);
  ProbeUsbPrinter(dialog);
  EXPECT_EQ(installerState.printerDetected, 0);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 2u);
  EXPECT_EQ(DetailIndexes(), std::vector<std::uint64_t>{0});
}

TEST_F(EngineUsbProbeTest, RefusedDeviceListIsToldInTheApplicationsWarningBox) {
  machine.SetUsbDevicePaths({kPrinter});
  machine.RefuseDeviceSet(true);
  for (std::uint8_t before : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(before));
    installerState.printerDetected = before;
    window().ScriptAnswer(kIdOk);
    ProbeUsbPrinter(dialog);
    EXPECT_EQ(installerState.printerDetected, before);
  }
  ASSERT_EQ(window().messageBoxes().size(), 2u);
  const headless::MessageBoxRecord& box = window().messageBoxes()[0];
  EXPECT_EQ(box.text, "\xBB\xF1\xC8\xA1\xCF\xE0\xB9\xD8\xB5\xC4\xC9\xE8\xB1\xB8\xD0\xC5\xCF\xA2\xBC\xAF"
                      "GUID\xBE\xE4\xB1\xFA\xCA\xA7\xB0\xDC\xA3\xA1");  // 获取相关的设备信息集GUID句柄失败！
  EXPECT_EQ(box.caption, "Vornell");
  EXPECT_EQ(box.type, kMbOk | kMbIconWarning);
  EXPECT_TRUE(box.scripted);
  EXPECT_EQ(machine.CountOf("EnumUsbDeviceInterface"), 0u);
  EXPECT_EQ(machine.CountOf("DestroyDeviceSet"), 0u) << "no set to destroy";
}

}  // namespace
}  // namespace vornell
