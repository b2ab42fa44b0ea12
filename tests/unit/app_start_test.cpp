// Start-up: the application object runs the wizard modally and ends.
#include <gtest/gtest.h>

#include "wizard/about_dlg.h"
#include "app/vornell_app.h"
#include "framework/headless/headless.h"
#include "platform/simulated/simulated_machine.h"
#include "res/resource.h"
#include "engine/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace vornell {
namespace {

class AppStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installerState = InstallerState{};
    SetServices(&machine);
  }
  void TearDown() override {
    SetServices(nullptr);
    installerState = InstallerState{};
  }
  SimulatedMachine machine;
};

TEST_F(AppStartTest, ApplicationObjectRestartsOnly) {
  EXPECT_EQ(theApp.restartManagerSupport, 1u);
  EXPECT_EQ(theApp.mainWindow, nullptr);
  // After a system update only: RESTART_NO_CRASH | RESTART_NO_HANG.
  EXPECT_EQ(RestartRegistrationFlags(theApp.restartManagerSupport), 0x3u);
}

// The Help command reaches the application's map and harms nothing: the
// wizard stays on its page, no box, no end.
TEST_F(AppStartTest, HelpCommandIsAnsweredByTheApplication) {
  bool played = false;
  headless::SetModalScript(IDD_VORNELL_DIALOG, [&](Dialog& d) {
    played = true;
    const std::size_t unrouted = headless::Headless(d).defaultProcessing().size();
    d.SendMessageToSelf(msg::kCommand, kIdHelp, 0);
    EXPECT_EQ(headless::Headless(d).defaultProcessing().size(), unrouted);
    EXPECT_FALSE(headless::Headless(d).ended());
    EXPECT_TRUE(headless::Headless(d).messageBoxes().empty());
    EXPECT_EQ(installerState.step, WizardStep::kLicense);
    headless::PressEscape(d);
  });
  theApp.InitInstance();
  EXPECT_TRUE(played);
}

TEST_F(AppStartTest, InitInstanceRunsTheWizardAsMainWindowAndReturnsFalse) {
  const std::size_t runs = headless::ModalRuns().size();
  const std::size_t controlInits = headless::CommonControlsInits().size();
  const int richEditInits = headless::RichEditInits();
  bool played = false;
  headless::SetModalScript(IDD_VORNELL_DIALOG, [&](Dialog& d) {
    played = true;
    // Controls and rich-edit classes exist before the window is made.
    ASSERT_EQ(headless::CommonControlsInits().size(), controlInits + 1);
    EXPECT_EQ(headless::CommonControlsInits().back(), 0xFFu);
    EXPECT_EQ(headless::RichEditInits(), richEditInits + 1);
    EXPECT_EQ(theApp.mainWindow, &d);
    EXPECT_NE(dynamic_cast<CVornellDlg*>(&d), nullptr);
    EXPECT_EQ(installerState.step, WizardStep::kLicense) << "the license page is up";
    headless::PressEscape(d);  // the window's own Cancel, no question asked
  });
  EXPECT_FALSE(theApp.InitInstance());
  EXPECT_TRUE(played);
  ASSERT_EQ(headless::ModalRuns().size(), runs + 1);
  EXPECT_EQ(headless::ModalRuns().back().templateId, IDD_VORNELL_DIALOG);
  EXPECT_EQ(headless::ModalRuns().back().result, kIdCancel);
  EXPECT_EQ(theApp.mainWindow, nullptr) << "no pointer to the ended dialog is left";
}

// A failed rich-edit start-up is not reported; the window still comes up.
TEST_F(AppStartTest, WizardRunsEvenWhenRichEditInitialisationFails) {
  headless::SetRichEditInitResult(false);
  bool played = false;
  headless::SetModalScript(IDD_VORNELL_DIALOG, [&](Dialog& d) {
    played = true;
    headless::CloseBox(d);
  });
  EXPECT_FALSE(theApp.InitInstance());
  EXPECT_TRUE(played);
}

TEST_F(AppStartTest, AboutBoxIsTemplate100AndEndsThroughTheDefaultCommands) {
  CAboutDlg about;
  EXPECT_EQ(about.TemplateId(), IDD_ABOUTBOX);
  headless::Headless(about).SetScript([](Dialog& d) { headless::Click(d, kIdOk); });
  EXPECT_EQ(about.DoModal(), kIdOk);
}

}  // namespace
}  // namespace vornell
