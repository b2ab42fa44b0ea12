// The installer state before and after the window's initialisation, and what
// the initialisation does to the window: system menu, icons, fonts, header,
// check boxes, the source-folder choice and the first page.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

#include "framework/headless/headless.h"
#include "platform/simulated/simulated_machine.h"
#include "res/resource.h"
#include "engine/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace vornell {
namespace {

// The GBK bytes a text must hold, spelled out so that a change of the
// source's encoding cannot pass unnoticed.
std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

class WizardInitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installerState = InstallerState{};
    SetServices(&machine);
  }
  void TearDown() override {
    SetServices(nullptr);
    installerState = InstallerState{};
  }
  headless::HeadlessWindow& window() { return headless::Headless(dialog); }

  SimulatedMachine machine;
  CVornellDlg dialog;
};

TEST(InstallerStateTest, StartValues) {
  const InstallerState s;
  EXPECT_EQ(s.lineBreak, "\r\n");
  EXPECT_EQ(s.driverSourceFolder, "");
  EXPECT_EQ(s.usbMatchId, "");
  EXPECT_STREQ(s.hardwareId, "");
  for (std::size_t i = 0; i < 3; ++i) EXPECT_STREQ(s.driverFiles[i], "") << i;
  EXPECT_STREQ(s.driverFiles[3], "UNIDRV.DLL");
  EXPECT_STREQ(s.driverFiles[4], "UNIDRV.HLP");
  EXPECT_STREQ(s.driverFiles[5], "UNIDRVUI.DLL");
  EXPECT_STREQ(s.driverFiles[6], "UNIRES.DLL");
  EXPECT_STREQ(s.driverFiles[7], "STDNAMES.GPD");

  EXPECT_EQ(s.manufacturerName, "Orvane");
  EXPECT_EQ(s.modelName, Bytes({'R', 'X', '7', '3', '0', 'T', 0xA2, 0xF2}));
  EXPECT_EQ(s.modelName.size(), 8u);
  const std::string printer = "Orvane " + Bytes({'R', 'X', '7', '3', '0', 'T', 0xA2, 0xF2});
  EXPECT_EQ(s.printerName, printer);
  EXPECT_EQ(s.printerName.size(), 15u);
  EXPECT_EQ(s.driverModelName, printer);
  EXPECT_EQ(s.lptPrinterName, printer + " LPT");
  EXPECT_EQ(s.lptPrinterName.size(), 19u);
  EXPECT_EQ(s.headerText, printer);
  EXPECT_EQ(s.expectedPrinterName, "");

  EXPECT_EQ(s.step, WizardStep::kStart);
  EXPECT_EQ(s.printerDetected, 0);
  EXPECT_EQ(s.connectionType, 0);
  EXPECT_EQ(s.connectionRetry, 0);
  EXPECT_EQ(s.workerStatus, 0);
  EXPECT_EQ(s.printerDriverDirectory.size(), 264u);
  EXPECT_TRUE(std::all_of(s.printerDriverDirectory.begin(), s.printerDriverDirectory.end(),
                          [](char c) { return c == '\0'; }));
}

TEST_F(WizardInitTest, CompletesThePackageDescription) {
  ASSERT_TRUE(headless::Open(dialog));
  const InstallerState& s = installerState;
  EXPECT_EQ(s.driverSourceFolder, ".\\x64\\driver\\");
  EXPECT_EQ(s.driverSourceFolder.size(), 13u);
  EXPECT_EQ(s.usbMatchId, "vid_f0e1&pid_c20b");
  EXPECT_EQ(s.usbMatchId.size(), 17u);
  EXPECT_STREQ(s.hardwareId, "USBPRINT\\OrvaneRX730TII87C8");
  EXPECT_STREQ(s.driverFiles[0], "RX730TP.INF");
  EXPECT_STREQ(s.driverFiles[1], "RX730TP.dll");
  EXPECT_STREQ(s.driverFiles[2], "RX730TP.gpd");
  EXPECT_STREQ(s.driverFiles[3], "UNIDRV.DLL");
  EXPECT_STREQ(s.driverFiles[7], "STDNAMES.GPD");
  EXPECT_EQ(s.connectionRetry, 0);
  EXPECT_EQ(s.step, WizardStep::kLicense) << "the license page is up";
  // Set only at the install step.
  EXPECT_EQ(s.expectedPrinterName, "");
  EXPECT_EQ(s.connectionType, 0);
  EXPECT_EQ(s.printerDriverDirectory[0], '\0');
}

TEST_F(WizardInitTest, SourceFolderFollowsTheBitnessQuery) {
  struct Case {
    const char* name;
    std::optional<bool> wow64;
    const char* folder;
  };
  const Case cases[] = {
      {"no query", std::nullopt, ".\\x64\\driver\\"},
      {"query says FALSE", false, ".\\x64\\driver\\"},
      {"query says TRUE", true, ".\\x86\\driver\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    installerState = InstallerState{};
    machine.SetWow64(c.wow64);
    CVornellDlg wizard;
    ASSERT_TRUE(headless::Open(wizard));
    EXPECT_EQ(installerState.driverSourceFolder, c.folder);
  }
}

TEST_F(WizardInitTest, HeaderFontsAndText) {
  ASSERT_TRUE(headless::Open(dialog));
  ASSERT_EQ(window().fonts().size(), 2u);
  const FontSpec& header = window().fonts()[0].request;
  const FontSpec& welcome = window().fonts()[1].request;
  EXPECT_EQ(header.height, 23);
  EXPECT_EQ(header.face, Bytes({0xCE, 0xA2, 0xC8, 0xED, 0xD1, 0xC5, 0xBA, 0xDA}));  // 微软雅黑
  EXPECT_EQ(welcome.height, 18);
  EXPECT_EQ(welcome.face, Bytes({0xB7, 0xC2, 0xCB, 0xCE}));  // 仿宋
  for (const FontSpec* f : {&header, &welcome}) {
    EXPECT_EQ(f->width, 0);
    EXPECT_EQ(f->escapement, 0);
    EXPECT_EQ(f->orientation, 0);
    EXPECT_EQ(f->weight, 400);
    EXPECT_FALSE(f->italic);
    EXPECT_FALSE(f->underline);
    EXPECT_FALSE(f->strikeOut);
    EXPECT_EQ(f->charSet, 0u);
    EXPECT_EQ(f->outPrecision, 0u);
    EXPECT_EQ(f->clipPrecision, 0u);
    EXPECT_EQ(f->quality, 0u);
    EXPECT_EQ(f->pitchAndFamily, 0x20u);
  }
  EXPECT_EQ(window().control(IDC_MODEL).font, window().fonts()[0].handle);
  EXPECT_TRUE(window().control(IDC_MODEL).fontRedraw);
  EXPECT_EQ(window().control(IDC_WELCOME).font, window().fonts()[1].handle);
  EXPECT_TRUE(window().control(IDC_WELCOME).fontRedraw);

  EXPECT_EQ(window().control(IDC_MODEL).text, installerState.printerName);
  EXPECT_NE(window().control(IDC_MODEL).text, "VT-250");

  // At 150 % the heights scale as MulDiv rounds them: 34.5 becomes 35.
  CVornellDlg at144;
  headless::Headless(at144).SetDpi(144);
  ASSERT_TRUE(headless::Open(at144));
  ASSERT_EQ(headless::Headless(at144).fonts().size(), 2u);
  EXPECT_EQ(headless::Headless(at144).fonts()[0].request.height, 35);
  EXPECT_EQ(headless::Headless(at144).fonts()[1].request.height, 27);
  // The welcome line keeps the template's text.
  EXPECT_EQ(window().control(IDC_WELCOME).text, "欢迎使用Orvane打印机");
}

TEST_F(WizardInitTest, SystemMenuGetsSeparatorAndAboutItem) {
  ASSERT_TRUE(headless::Open(dialog));
  ASSERT_EQ(window().menuItems().size(), 2u);
  EXPECT_EQ(window().menuItems()[0].flags, kMfSeparator);
  EXPECT_EQ(window().menuItems()[1].flags, kMfString);
  EXPECT_EQ(window().menuItems()[1].id, 0x0010u);
  EXPECT_EQ(window().menuItems()[1].text, "关于 Vornell(&A)...");
}

TEST_F(WizardInitTest, NoAboutItemWithoutItsTextOrWithoutAMenu) {
  {
    SCOPED_TRACE("empty string 101");
    headless::SetResourceString(IDS_ABOUTBOX, "");
    CVornellDlg wizard;
    ASSERT_TRUE(headless::Open(wizard));
    EXPECT_TRUE(headless::Headless(wizard).menuItems().empty());
  }
  {
    SCOPED_TRACE("no string 101");
    headless::RemoveResourceString(IDS_ABOUTBOX);
    CVornellDlg wizard;
    ASSERT_TRUE(headless::Open(wizard));
    EXPECT_TRUE(headless::Headless(wizard).menuItems().empty());
  }
  {
    SCOPED_TRACE("no system menu");
    headless::SetResourceString(IDS_ABOUTBOX, "关于 Vornell(&A)...");
    headless::SetSystemMenuAvailableByDefault(false);
    CVornellDlg wizard;
    ASSERT_TRUE(headless::Open(wizard));
    EXPECT_TRUE(headless::Headless(wizard).menuItems().empty());
    // The rest of the window comes up as usual.
    EXPECT_EQ(installerState.step, WizardStep::kLicense);
    EXPECT_EQ(headless::Headless(wizard).control(IDC_MODEL).text, installerState.printerName);
  }
}

TEST_F(WizardInitTest, IconsNotificationsAndHiddenCheckBoxes) {
  ASSERT_TRUE(headless::Open(dialog));
  EXPECT_EQ(window().iconLoads(), std::vector<int>{IDR_MAINFRAME});
  ASSERT_NE(dialog.AppIcon(), nullptr);
  EXPECT_EQ(window().bigIcon(), dialog.AppIcon());
  EXPECT_EQ(window().smallIcon(), dialog.AppIcon());
  std::vector<WParam> iconKinds;
  for (const headless::JournalEntry& e : window().journal()) {
    if (e.op == headless::Op::kSelfMessage && e.message == msg::kSetIcon) iconKinds.push_back(e.w);
  }
  EXPECT_EQ(iconKinds, (std::vector<WParam>{kIconBig, kIconSmall}));

  const auto registrations = machine.CallsOf("RegisterUsbDeviceNotification");
  ASSERT_EQ(registrations.size(), 1u);
  EXPECT_EQ(registrations[0].numbers.at(0), reinterpret_cast<std::uintptr_t>(dialog.GetSafeHwnd()));

  EXPECT_FALSE(window().control(IDC_SET_DEFAULT).visible);
  EXPECT_FALSE(window().control(IDC_TEST_PAGE).visible);
  EXPECT_TRUE(window().control(IDC_LICENSE).visible);
  EXPECT_FALSE(window().ended());
}

}  // namespace
}  // namespace vornell
