// Painting, control colours, the drag icon and the about command of the
// wizard window.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "framework/headless/headless.h"
#include "platform/simulated/simulated_machine.h"
#include "res/layout.h"
#include "res/resource.h"
#include "engine/installer_state.h"
#include "wizard/paint_rules.h"
#include "wizard/vornell_dlg.h"

namespace vornell {
namespace {

using headless::PaintCall;
using headless::PaintOp;

const std::set<int> kTransparentIds = {1004, 1005, 1009, 1014, 1018, 1011, 1012, 1019, 1020};

TEST(PaintRulesTest, ColourRuleOfEveryTemplateControl) {
  int seen = 0;
  for (const ControlLayout& c : MainDialogLayout().controls) {
    SCOPED_TRACE(c.id);
    ++seen;
    if (c.id == IDC_LICENSE) {
      EXPECT_EQ(ColorRuleFor(c.id, false), ColorRule::kLicenseBox);
      EXPECT_EQ(ColorRuleFor(c.id, true), ColorRule::kSystemColors);
    } else if (kTransparentIds.count(c.id) != 0) {
      EXPECT_EQ(ColorRuleFor(c.id, false), ColorRule::kTransparentBackground);
      EXPECT_EQ(ColorRuleFor(c.id, true), ColorRule::kSystemColors);
    } else {
      // Buttons, the group box, the pictures, the progress bar and the box's
      // hidden name, in high contrast too: they paint in the system's colours
      // by themselves.
      EXPECT_EQ(ColorRuleFor(c.id, false), ColorRule::kDefault);
      EXPECT_EQ(ColorRuleFor(c.id, true), ColorRule::kDefault);
    }
  }
  EXPECT_EQ(seen, 18);
  // IDs of no control of the template, the dialog itself among them.
  for (const int id : {0, 1, 2, 1006, 1023, -1}) {
    EXPECT_EQ(ColorRuleFor(id, false), ColorRule::kDefault) << id;
    EXPECT_EQ(ColorRuleFor(id, true), ColorRule::kDefault) << id;
  }
}

TEST(PaintRulesTest, IconCentredWithRoundingTowardZero) {
  struct Case {
    int clientW, clientH, iconW, iconH, x, y;
  };
  const Case cases[] = {
      {36, 36, 32, 32, 2, 2},  // (36 - 32 + 1) / 2 = 2
      {37, 38, 32, 32, 3, 3},  // odd free space rounds up
      {35, 34, 32, 32, 2, 1},
      {36, 36, 31, 33, 3, 2},
      {32, 32, 32, 32, 0, 0},
      {30, 29, 32, 32, 0, -1},  // -1 / 2 is 0, -2 / 2 is -1: toward zero, not down
      {160, 120, 48, 48, 56, 36},
  };
  for (const Case& c : cases) {
    const IconPoint p = IconPosition(c.clientW, c.clientH, c.iconW, c.iconH);
    EXPECT_EQ(p.x, c.x) << c.clientW << " / " << c.iconW;
    EXPECT_EQ(p.y, c.y) << c.clientH << " / " << c.iconH;
  }
}

class WizardPaintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installerState = InstallerState{};
    SetServices(&machine);
    dialog = std::make_unique<CVornellDlg>();
    ASSERT_TRUE(headless::Open(*dialog));
    headless::ClearPaintLog();
  }
  void TearDown() override {
    dialog.reset();
    SetServices(nullptr);
    installerState = InstallerState{};
  }
  headless::HeadlessWindow& window() { return headless::Headless(*dialog); }

  // The calls of the log that came from the dialog, not from the test's requests.
  std::vector<PaintCall> DialogCalls() {
    std::vector<PaintCall> calls;
    for (const PaintCall& c : headless::PaintLog()) {
      if (c.op != PaintOp::kCtlColorRequest) calls.push_back(c);
    }
    return calls;
  }

  SimulatedMachine machine;
  std::unique_ptr<CVornellDlg> dialog;
};

TEST_F(WizardPaintTest, NormalPaintStretchesTheBackgroundOverTheClientArea) {
  window().SetClientRect(Rect{0, 0, 480, 325});
  headless::Paint(*dialog);
  const std::vector<PaintCall> calls = DialogCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].op, PaintOp::kBeginPaint);
  EXPECT_EQ(calls[1].op, PaintOp::kStretchBitmap);
  EXPECT_EQ(calls[1].value, IDB_BACKGROUND);
  EXPECT_EQ(calls[1].dc, calls[0].dc);
  EXPECT_TRUE(calls[1].dcValid);
  EXPECT_EQ(calls[1].dest.left, 0);
  EXPECT_EQ(calls[1].dest.top, 0);
  EXPECT_EQ(calls[1].dest.right, 480);
  EXPECT_EQ(calls[1].dest.bottom, 325);
  EXPECT_EQ(calls[2].op, PaintOp::kEndPaint);
  EXPECT_EQ(calls[2].dc, calls[0].dc);
  // Nothing routed to the default paint handling.
  for (const headless::RoutedMessage& m : window().defaultProcessing()) EXPECT_NE(m.message, msg::kPaint);
}

TEST_F(WizardPaintTest, MinimisedPaintDrawsTheIconCentred) {
  window().SetIconic(true);
  window().SetClientRect(Rect{0, 0, 36, 41});
  headless::SetSystemIconSize(32, 32);
  const std::size_t mark = window().journal().size();
  headless::Paint(*dialog);

  const std::vector<PaintCall> calls = DialogCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].op, PaintOp::kBeginPaint);
  EXPECT_EQ(calls[1].op, PaintOp::kDrawIcon);
  EXPECT_EQ(calls[1].x, 2);
  EXPECT_EQ(calls[1].y, 5);
  EXPECT_EQ(calls[1].handle, dialog->AppIcon());
  EXPECT_EQ(calls[1].dc, calls[0].dc);
  EXPECT_EQ(calls[2].op, PaintOp::kEndPaint);

  // The icon's background is erased first, with the paint context.
  std::vector<headless::JournalEntry> erases;
  for (std::size_t i = mark; i < window().journal().size(); ++i) {
    const headless::JournalEntry& e = window().journal()[i];
    if (e.op == headless::Op::kSelfMessage && e.message == msg::kIconEraseBkgnd) erases.push_back(e);
  }
  ASSERT_EQ(erases.size(), 1u);
  EXPECT_EQ(erases[0].w, reinterpret_cast<WParam>(calls[0].dc));
  EXPECT_EQ(erases[0].l, 0);
}

TEST_F(WizardPaintTest, ControlColoursForEveryControl) {
  for (const ControlLayout& c : MainDialogLayout().controls) {
    SCOPED_TRACE(c.id);
    headless::ClearPaintLog();
    const headless::CtlColorAnswer answer = headless::RequestCtlColor(*dialog, c.id);
    const std::vector<PaintCall> calls = DialogCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].op, PaintOp::kBaseCtlColor) << "the base handler runs first";
    std::vector<PaintOp> after;
    for (std::size_t i = 1; i < calls.size(); ++i) after.push_back(calls[i].op);

    if (c.id == IDC_LICENSE) {
      EXPECT_NE(answer.brush, headless::DefaultCtlColorBrush());
      ASSERT_GE(calls.size(), 2u);
      EXPECT_EQ(calls[1].op, PaintOp::kSetBkColor);
      EXPECT_EQ(calls[1].value, 0x00FFB464);
      EXPECT_EQ(calls[1].dc, answer.dc);
    } else if (kTransparentIds.count(c.id) != 0) {
      EXPECT_EQ(answer.brush, Dialog::StockHollowBrush());
      const auto mode = std::find_if(calls.begin(), calls.end(), [](const PaintCall& p) { return p.op == PaintOp::kSetBkMode; });
      ASSERT_NE(mode, calls.end());
      EXPECT_EQ(mode->value, kTransparent);
      EXPECT_EQ(mode->dc, answer.dc);
      for (const PaintCall& p : calls) EXPECT_NE(p.op, PaintOp::kSetBkColor);
    } else {
      EXPECT_EQ(answer.brush, headless::DefaultCtlColorBrush());
      EXPECT_TRUE(after.empty()) << "the device context is left as the base handler set it";
    }
  }
}

TEST_F(WizardPaintTest, LicenseBrushIsMadeOnceAndDeletedWithTheDialog) {
  const int created = headless::BrushesCreated();
  const int deleted = headless::BrushesDeleted();
  const BrushHandle first = headless::RequestCtlColor(*dialog, IDC_LICENSE, msg::kCtlColorEdit).brush;
  ASSERT_NE(first, nullptr);
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(headless::RequestCtlColor(*dialog, IDC_LICENSE, i % 2 ? msg::kCtlColorEdit : msg::kCtlColorStatic).brush,
              first);
  }
  EXPECT_EQ(headless::BrushesCreated(), created + 1);
  int btnFaceBrushes = 0;
  for (const PaintCall& c : headless::PaintLog()) {
    if (c.op == PaintOp::kCreateBrush) {
      ++btnFaceBrushes;
      EXPECT_EQ(c.value, kColorBtnFace);
      EXPECT_EQ(c.handle, first);
    }
  }
  EXPECT_EQ(btnFaceBrushes, 1);
  // Painting many times leaves nothing behind.
  for (int i = 0; i < 20; ++i) headless::Repaint(*dialog);
  EXPECT_EQ(headless::BrushesCreated(), created + 1);

  dialog.reset();
  EXPECT_EQ(headless::BrushesDeleted(), deleted + 1);
  EXPECT_EQ(headless::LiveBrushes(), 0);
}

// A colour change (high contrast switched, or another scheme) reaches every
// control, which may keep copies of colours, and the license brush is made
// again in the new face colour, the old one freed.
TEST_F(WizardPaintTest, ColourChangeReachesEveryControlAndRemakesTheLicenseBrush) {
  const BrushHandle before = headless::RequestCtlColor(*dialog, IDC_LICENSE, msg::kCtlColorEdit).brush;
  const std::size_t mark = window().journal().size();
  dialog->SendMessageToSelf(msg::kSysColorChange);
  int told = 0;
  for (std::size_t i = mark; i < window().journal().size(); ++i) {
    const headless::JournalEntry& e = window().journal()[i];
    told += e.op == headless::Op::kItemMessage && e.message == msg::kSysColorChange;
  }
  EXPECT_EQ(told, static_cast<int>(window().controls().size()));
  EXPECT_EQ(headless::LiveBrushes(), 0);
  EXPECT_NE(headless::RequestCtlColor(*dialog, IDC_LICENSE, msg::kCtlColorEdit).brush, before);
  EXPECT_EQ(headless::LiveBrushes(), 1);
}

TEST_F(WizardPaintTest, DragIconIsTheApplicationIcon) {
  const LResult icon = dialog->SendMessageToSelf(msg::kQueryDragIcon);
  ASSERT_NE(dialog->AppIcon(), nullptr);
  EXPECT_EQ(reinterpret_cast<IconHandle>(icon), dialog->AppIcon());
}

// The system keeps the low four bits of a command for itself.
TEST_F(WizardPaintTest, AboutCommandIgnoresTheLowFourBits) {
  const std::size_t runs = headless::ModalRuns().size();
  const InstallerState before = installerState;
  for (unsigned command = 0x0010; command <= 0x001F; ++command) {
    headless::SysCommand(*dialog, command);
  }
  ASSERT_EQ(headless::ModalRuns().size(), runs + 16);
  for (std::size_t i = runs; i < runs + 16; ++i) {
    EXPECT_EQ(headless::ModalRuns()[i].templateId, IDD_ABOUTBOX);
  }
  EXPECT_EQ(installerState.step, before.step);
  EXPECT_FALSE(window().ended());

  const std::size_t defaults = window().defaultProcessing().size();
  headless::SysCommand(*dialog, 0xF020);  // minimise
  headless::SysCommand(*dialog, 0x0020);
  headless::SysCommand(*dialog, 0x0000);
  EXPECT_EQ(headless::ModalRuns().size(), runs + 16);
  ASSERT_EQ(window().defaultProcessing().size(), defaults + 3);
  EXPECT_EQ(window().defaultProcessing()[defaults].message, msg::kSysCommand);
  EXPECT_EQ(window().defaultProcessing()[defaults].w, 0xF020u);

  headless::SysCommand(*dialog, 0xF060);  // close: the window's own Cancel, no question
  EXPECT_EQ(headless::ModalRuns().size(), runs + 16);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_TRUE(window().messageBoxes().empty());
}

}  // namespace
}  // namespace vornell
