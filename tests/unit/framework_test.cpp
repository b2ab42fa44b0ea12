// The dialog base's message routing and the headless window it runs on in
// the native build.
#include <gtest/gtest.h>

#include <time.h>

#include <atomic>
#include <thread>

#include "framework/app.h"
#include "framework/dialog.h"
#include "framework/headless/headless.h"
#include "res/resource.h"

namespace vornell {

namespace {

void ReportToGTest(const std::string& message) { ADD_FAILURE() << message; }

// For the whole unit-test binary: every test starts from a clean headless
// environment, and what the headless window finds wrong fails that test.
class HeadlessEnvironmentReset : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    headless::ResetEnvironment();
    headless::SetFailureHook(&ReportToGTest);
  }
};
const bool kResetInstalled = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new HeadlessEnvironmentReset);
  return true;
}();

// Collects failures instead of reporting them, for tests of the failing itself.
class FailureCapture {
 public:
  FailureCapture() {
    headless::SetFailureHook([this](const std::string& m) { messages.push_back(m); });
  }
  ~FailureCapture() { headless::SetFailureHook(&ReportToGTest); }
  std::vector<std::string> messages;
};

IconHandle const kDragIcon = reinterpret_cast<IconHandle>(0x1234);
BrushHandle const kOwnBrush = reinterpret_cast<BrushHandle>(0x5678);

class TestDlg : public Dialog {
 public:
  TestDlg() : Dialog(IDD_VORNELL_DIALOG) {}
  void OnPaint() { ++paints; }
  void OnSysCommand(unsigned id, LParam param) {
    sysCommands.emplace_back(id, param);
    if ((id & 0xFFF0) != IDM_ABOUTBOX) Default(msg::kSysCommand, id, param);
  }
  IconHandle OnQueryDragIcon() { return kDragIcon; }
  BrushHandle OnCtlColor(const CtlColorRequest& request) override {
    colorRequests.push_back(request);
    return kOwnBrush;
  }
  void OnNext() { ++nexts; }
  void OnUsb() { usbCheckSeen = IsItemEnabled(IDC_USB) ? SendItemMessage(IDC_USB, kBmGetCheck) : -1; }

  int paints = 0, nexts = 0;
  LResult usbCheckSeen = -2;
  bool initialised = false;
  std::vector<std::pair<unsigned, LParam>> sysCommands;
  std::vector<CtlColorRequest> colorRequests;

 protected:
  bool OnInitDialog() override {
    initialised = true;
    return true;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(TestDlg, Dialog)
ON_WM_PAINT()
ON_WM_SYSCOMMAND()
ON_WM_QUERYDRAGICON()
ON_WM_CTLCOLOR()
ON_BN_CLICKED(IDC_NEXT, OnNext)
ON_BN_CLICKED(IDC_USB, OnUsb)
END_MESSAGE_MAP()

class DerivedDlg : public TestDlg {
 public:
  void OnOwnNext() { ++ownNexts; }
  void OnOwnOk() { ++ownOks; }
  int ownNexts = 0, ownOks = 0;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(DerivedDlg, TestDlg)
ON_BN_CLICKED(IDC_NEXT, OnOwnNext)
ON_BN_CLICKED(kIdOk, OnOwnOk)
END_MESSAGE_MAP()

// A dialog with nothing of its own: everything but OK and Cancel is default.
class PlainDlg : public Dialog {
 public:
  explicit PlainDlg(int id = IDD_VORNELL_DIALOG) : Dialog(id) {}
};

// Opens the about box from its system menu, as the wizard does.
class AboutOpener : public Dialog {
 public:
  AboutOpener() : Dialog(IDD_VORNELL_DIALOG) {}
  void OnSysCommand(unsigned, LParam) {
    PlainDlg about(IDD_ABOUTBOX);
    aboutResult = about.DoModal();
  }
  std::intptr_t aboutResult = 0;
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(AboutOpener, Dialog)
ON_WM_SYSCOMMAND()
END_MESSAGE_MAP()

WParam Command(int id, unsigned code = kBnClicked) { return (static_cast<WParam>(code) << 16) | static_cast<WParam>(id); }

bool WentToDefault(headless::HeadlessWindow& w, unsigned message, WParam wp) {
  for (const auto& m : w.defaultProcessing()) {
    if (m.message == message && m.w == wp) return true;
  }
  return false;
}

class FrameworkTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(headless::Open(dlg)); }
  headless::HeadlessWindow& window() { return headless::Headless(dlg); }
  TestDlg dlg;
};

// ---------------------------------------------------------------- routing

TEST_F(FrameworkTest, EachMapRowIsReachedByItsMessageOrControl) {
  EXPECT_TRUE(dlg.initialised);

  headless::Paint(dlg);
  EXPECT_EQ(dlg.paints, 1);

  headless::SysCommand(dlg, 0x0013, 77);
  ASSERT_EQ(dlg.sysCommands.size(), 1u);
  EXPECT_EQ(dlg.sysCommands[0], (std::pair<unsigned, LParam>{0x0013, 77}));

  EXPECT_EQ(dlg.SendMessageToSelf(msg::kQueryDragIcon), reinterpret_cast<LResult>(kDragIcon));

  // The colour row spans every kind of request.
  for (unsigned kind : {msg::kCtlColorMsgBox, msg::kCtlColorBtn, msg::kCtlColorStatic}) {
    const auto answer = headless::RequestCtlColor(dlg, IDC_STATUS, kind);
    EXPECT_EQ(answer.brush, kOwnBrush);
    ASSERT_FALSE(dlg.colorRequests.empty());
    EXPECT_EQ(dlg.colorRequests.back().message, kind);
    EXPECT_EQ(dlg.colorRequests.back().dc, answer.dc);
    EXPECT_EQ(dlg.ControlId(dlg.colorRequests.back().control), IDC_STATUS);
  }

  EXPECT_TRUE(headless::Click(dlg, IDC_NEXT));
  EXPECT_EQ(dlg.nexts, 1);
  EXPECT_TRUE(window().defaultProcessing().empty());
  EXPECT_FALSE(window().ended());
}

TEST_F(FrameworkTest, UnroutedClicksAndMessagesGetDefaultProcessing) {
  EXPECT_TRUE(headless::Click(dlg, IDC_BACK));
  EXPECT_TRUE(WentToDefault(window(), msg::kCommand, Command(IDC_BACK)));

  // Another notification from a mapped control is not its click.
  dlg.SendMessageToSelf(msg::kCommand, Command(IDC_NEXT, 5));
  EXPECT_EQ(dlg.nexts, 0);
  EXPECT_TRUE(WentToDefault(window(), msg::kCommand, Command(IDC_NEXT, 5)));

  dlg.SendMessageToSelf(msg::kDeviceChange, 0x8000, 0);
  EXPECT_TRUE(WentToDefault(window(), msg::kDeviceChange, 0x8000));

  // WM_SETICON's default processing keeps the icons.
  const auto icon = reinterpret_cast<LParam>(kDragIcon);
  dlg.SendMessageToSelf(msg::kSetIcon, kIconBig, icon);
  EXPECT_EQ(window().bigIcon(), kDragIcon);
  EXPECT_EQ(window().smallIcon(), nullptr);
  EXPECT_EQ(window().defaultProcessing().size(), 4u);
  EXPECT_FALSE(window().ended());
}

TEST_F(FrameworkTest, OkCancelEscapeAndCloseBoxEndTheDialog) {
  dlg.SendMessageToSelf(msg::kCommand, Command(kIdOk));
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdOk);

  TestDlg second;
  ASSERT_TRUE(headless::Open(second));
  headless::PressEscape(second);
  EXPECT_EQ(headless::Headless(second).result(), kIdCancel);

  // The close box goes through the dialog's own OnSysCommand, whose default
  // processing turns it into WM_CLOSE and then Cancel.
  TestDlg third;
  ASSERT_TRUE(headless::Open(third));
  headless::CloseBox(third);
  ASSERT_EQ(third.sysCommands.size(), 1u);
  EXPECT_TRUE(WentToDefault(headless::Headless(third), msg::kClose, 0));
  EXPECT_EQ(headless::Headless(third).result(), kIdCancel);
  EXPECT_EQ(headless::Headless(third).endDialogCalls(), 1);
}

TEST(FrameworkRouting, DerivedRowsOverrideTheBaseAndTheRestIsInherited) {
  DerivedDlg dlg;
  ASSERT_TRUE(headless::Open(dlg));
  headless::Click(dlg, IDC_NEXT);
  EXPECT_EQ(dlg.ownNexts, 1);
  EXPECT_EQ(dlg.nexts, 0);

  headless::Paint(dlg);
  EXPECT_EQ(dlg.paints, 1);

  // The derived OK row hides the root map's OK processing.
  dlg.SendMessageToSelf(msg::kCommand, Command(kIdOk));
  EXPECT_EQ(dlg.ownOks, 1);
  EXPECT_FALSE(headless::Headless(dlg).ended());
  headless::PressEscape(dlg);
  EXPECT_EQ(headless::Headless(dlg).result(), kIdCancel);
}

TEST(FrameworkRouting, UnmappedColourRequestsGetTheDefaultBrush) {
  PlainDlg dlg;
  ASSERT_TRUE(headless::Open(dlg));
  headless::ClearPaintLog();
  const auto answer = headless::RequestCtlColor(dlg, IDC_NEXT, msg::kCtlColorBtn);
  EXPECT_EQ(answer.brush, headless::DefaultCtlColorBrush());
  EXPECT_TRUE(WentToDefault(headless::Headless(dlg), msg::kCtlColorBtn, reinterpret_cast<WParam>(answer.dc)));
  EXPECT_EQ(headless::Headless(dlg).defaultProcessing().size(), 1u);

  // The base handler, as a derived handler calls it, answers the same brush.
  struct BaseCaller : PlainDlg {
    BrushHandle Base(const CtlColorRequest& r) { return Dialog::OnCtlColor(r); }
  } caller;
  ASSERT_TRUE(headless::Open(caller));
  EXPECT_EQ(caller.Base({msg::kCtlColorStatic, answer.dc, nullptr}), headless::DefaultCtlColorBrush());
  EXPECT_EQ(headless::PaintLog().back().op, headless::PaintOp::kBaseCtlColor);
}

// ---------------------------------------------------------------- modal runs

TEST(FrameworkModal, DoModalPlaysTheScriptAfterInitAndReturnsTheEndResult) {
  TestDlg dlg;
  bool initialisedBeforeScript = false;
  headless::Headless(dlg).SetScript([&](Dialog& d) {
    initialisedBeforeScript = static_cast<TestDlg&>(d).initialised;
    headless::Click(d, IDC_NEXT);
    d.EndDialog(42);
  });
  EXPECT_EQ(dlg.DoModal(), 42);
  EXPECT_TRUE(initialisedBeforeScript);
  EXPECT_EQ(dlg.nexts, 1);
  // The window is gone once the modal run is over.
  EXPECT_EQ(dlg.GetSafeHwnd(), nullptr);

  PlainDlg neverEnded;
  EXPECT_EQ(neverEnded.DoModal(), -1);
}

TEST(FrameworkModal, DialogsOpenedInsideHandlersRunTheirTemplatesScript) {
  AboutOpener opener;
  headless::SetModalScript(IDD_ABOUTBOX, [](Dialog& about) {
    EXPECT_EQ(about.GetItemText(kIdOk), "\xC8\xB7\xB6\xA8");  // "确定"
    headless::Click(about, kIdOk);
  });
  headless::SetModalScript(IDD_VORNELL_DIALOG, [](Dialog& main) {
    headless::SysCommand(main, IDM_ABOUTBOX);
    headless::PressEscape(main);
  });
  EXPECT_EQ(opener.DoModal(), kIdCancel);
  EXPECT_EQ(opener.aboutResult, kIdOk);
  ASSERT_EQ(headless::ModalRuns().size(), 2u);
  EXPECT_EQ(headless::ModalRuns()[0].templateId, IDD_ABOUTBOX);
  EXPECT_EQ(headless::ModalRuns()[0].result, kIdOk);
  EXPECT_EQ(headless::ModalRuns()[1].templateId, IDD_VORNELL_DIALOG);
  EXPECT_EQ(headless::ModalRuns()[1].result, kIdCancel);
}

// ---------------------------------------------------------------- controls

TEST_F(FrameworkTest, TheMainTemplateGivesEveryControlWithItsTextAndVisibility) {
  const std::vector<int> ids{1001, 1002, 1003, 1004, 1005, 1007, 1008, 1009, 1010,
                             1011, 1012, 1014, 1016, 1018, 1019, 1020, 1021, 1022};
  ASSERT_EQ(window().controls().size(), ids.size());
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const headless::ControlRecord& c = window().controls()[i];
    EXPECT_EQ(c.id, ids[i]);
    EXPECT_EQ(c.visible, c.id != IDC_LICENSE_NAME) << c.id;
    EXPECT_TRUE(c.enabled) << c.id;
    EXPECT_EQ(c.font, headless::DialogFont()) << c.id;
    EXPECT_NE(c.handle, nullptr);
    EXPECT_EQ(dlg.ControlId(c.handle), c.id);
  }
  EXPECT_EQ(dlg.GetItemText(IDC_MODEL), "VT-250");
  EXPECT_EQ(dlg.GetItemText(IDC_STATUS),
            "\xCC\xE1\xCA\xBE\xA3\xBA\xC7\xEB\xBC\xEC\xB2\xE9\xB4\xF2\xD3\xA1\xBB\xFA\xCA\xC7\xB7\xF1\xC1\xAC\xBD\xD3");
  EXPECT_EQ(dlg.GetItemText(IDC_NEXT), "\xCF\xC2\xD2\xBB\xB2\xBD");  // "下一步"
  EXPECT_EQ(dlg.GetItemText(IDC_PARALLEL), "\xB2\xA2\xBF\xDA");    // "并口"
  EXPECT_EQ(dlg.GetItemText(IDC_LICENSE), "");
  EXPECT_EQ(window().control(IDC_LICENSE).windowClass, "RichEdit20A");
  EXPECT_EQ(window().control(IDC_PROGRESS).kind, ControlKind::kProgress);
  EXPECT_EQ(dlg.ControlId(reinterpret_cast<WindowHandle>(0x42)), 0);

  // The about box is not visible as a window, but its controls are.
  PlainDlg about(IDD_ABOUTBOX);
  ASSERT_TRUE(headless::Open(about));
  ASSERT_EQ(headless::Headless(about).controls().size(), 4u);
  EXPECT_EQ(headless::Headless(about).controls()[1].text, "Vornell\xA3\xAC" "1.0 \xB0\xE6");
}

TEST_F(FrameworkTest, ItemOperationsChangeTheRecordsAndAreJournalledInOrder) {
  dlg.ShowItem(IDC_SET_DEFAULT, false);
  dlg.EnableItem(IDC_BACK, false);
  dlg.SetItemText(IDC_STATUS, "abc");
  dlg.SetRichEditText(IDC_LICENSE, "x\r\ny");
  dlg.UpdateWindow();
  EXPECT_FALSE(dlg.IsItemVisible(IDC_SET_DEFAULT));
  EXPECT_TRUE(dlg.IsItemVisible(IDC_TEST_PAGE));
  EXPECT_FALSE(dlg.IsItemEnabled(IDC_BACK));
  EXPECT_EQ(dlg.GetItemText(IDC_STATUS), "abc");
  EXPECT_EQ(window().control(IDC_LICENSE).text, "x\r\ny");
  EXPECT_EQ(window().control(IDC_LICENSE).setTextCount, 1);
  EXPECT_EQ(window().updateCount(), 1);

  using headless::Op;
  const std::vector<std::pair<Op, int>> expected{{Op::kShowItem, IDC_SET_DEFAULT},
                                                 {Op::kEnableItem, IDC_BACK},
                                                 {Op::kSetItemText, IDC_STATUS},
                                                 {Op::kSetRichEditText, IDC_LICENSE},
                                                 {Op::kUpdateWindow, 0}};
  ASSERT_EQ(window().journal().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(window().journal()[i].op, expected[i].first) << i;
    EXPECT_EQ(window().journal()[i].id, expected[i].second) << i;
  }
  ASSERT_EQ(window().control(IDC_STATUS).log.size(), 1u);
  EXPECT_EQ(window().control(IDC_STATUS).log[0].text, "abc");

  dlg.SendItemMessage(IDC_MODEL, msg::kSetFont, 0x99, 1);
  EXPECT_EQ(window().control(IDC_MODEL).font, reinterpret_cast<FontHandle>(0x99));
  EXPECT_TRUE(window().control(IDC_MODEL).fontRedraw);
}

TEST(FrameworkControls, AddressingAMissingControlOrAClosedWindowFailsTheTest) {
  PlainDlg dlg;
  {
    FailureCapture capture;
    dlg.ShowItem(IDC_NEXT, false);  // before the window exists
    ASSERT_EQ(capture.messages.size(), 1u);
  }
  ASSERT_TRUE(headless::Open(dlg));
  FailureCapture capture;
  dlg.SetItemText(1006, "x");
  EXPECT_EQ(dlg.SendItemMessage(1013, kPbmGetPos), 0);
  EXPECT_FALSE(headless::Click(dlg, 1015));
  EXPECT_EQ(capture.messages.size(), 3u);
  EXPECT_NE(capture.messages[0].find("1006"), std::string::npos);

  dlg.EndDialog(kIdCancel);
  EXPECT_FALSE(headless::Click(dlg, IDC_NEXT));
  EXPECT_EQ(capture.messages.size(), 4u);
}

TEST_F(FrameworkTest, ProgressBarKeepsRangePositionAndStepLikeTheCommonControl) {
  const int id = IDC_PROGRESS;
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmSetRange, 0, MakeLong(0, 10)), MakeLong(0, 100));
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmSetStep, 1), 10);
  // Positions clamp into the range; each call answers the previous position.
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmSetPos, 15), 0);
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmGetPos), 10);
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmSetPos, static_cast<WParam>(-3)), 10);
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmGetPos), 0);

  for (int i = 0; i < 10; ++i) EXPECT_EQ(dlg.SendItemMessage(id, kPbmStepIt), i);
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmGetPos), 10);  // the maximum itself is reached
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmStepIt), 10);
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmGetPos), 1);   // past it starts over

  // Wrapping counts from the minimum, also for a range not starting at 0.
  dlg.SendItemMessage(id, kPbmSetRange, 0, MakeLong(5, 15));
  dlg.SendItemMessage(id, kPbmSetPos, 14);
  dlg.SendItemMessage(id, kPbmSetStep, 3);
  dlg.SendItemMessage(id, kPbmStepIt);
  EXPECT_EQ(window().control(id).pos, 7);
  // A negative step wraps below the minimum to the top.
  dlg.SendItemMessage(id, kPbmSetStep, static_cast<WParam>(-4));
  dlg.SendItemMessage(id, kPbmStepIt);
  EXPECT_EQ(window().control(id).pos, 13);
  // Narrowing the range pulls the position in; an empty range never steps.
  EXPECT_EQ(dlg.SendItemMessage(id, kPbmSetRange, 0, MakeLong(2, 2)), MakeLong(5, 15));
  dlg.SendItemMessage(id, kPbmStepIt);
  EXPECT_EQ(window().control(id).pos, 2);
  // The range is two unsigned 16-bit halves.
  dlg.SendItemMessage(id, kPbmSetRange, 0, MakeLong(0, 40000));
  EXPECT_EQ(window().control(id).rangeMax, 40000);

  // Progress messages to another kind of control do nothing but are logged.
  EXPECT_EQ(dlg.SendItemMessage(IDC_STATUS, kPbmStepIt), 0);
  EXPECT_EQ(window().control(IDC_STATUS).pos, 0);
  EXPECT_EQ(window().control(IDC_STATUS).log.back().message, kPbmStepIt);
}

TEST_F(FrameworkTest, RadioClicksClearTheOtherButtonOfTheGroup) {
  EXPECT_TRUE(headless::Click(dlg, IDC_USB));
  EXPECT_EQ(dlg.usbCheckSeen, 1);  // checked before BN_CLICKED is routed
  EXPECT_EQ(window().control(IDC_PARALLEL).check, 0);
  headless::Click(dlg, IDC_PARALLEL);
  EXPECT_EQ(dlg.SendItemMessage(IDC_USB, kBmGetCheck), 0);
  EXPECT_EQ(dlg.SendItemMessage(IDC_PARALLEL, kBmGetCheck), 1);
  EXPECT_TRUE(WentToDefault(window(), msg::kCommand, Command(IDC_PARALLEL)));

  // BM_SETCHECK alone does not touch the group; anything above 1 is checked.
  dlg.SendItemMessage(IDC_USB, kBmSetCheck, 2);
  EXPECT_EQ(window().control(IDC_USB).check, 1);
  EXPECT_EQ(window().control(IDC_PARALLEL).check, 1);

  // Check boxes toggle, and stand outside the radio group.
  dlg.SendItemMessage(IDC_SET_DEFAULT, kBmSetCheck, kBstChecked);
  headless::Click(dlg, IDC_USB);
  EXPECT_EQ(window().control(IDC_SET_DEFAULT).check, 1);
  headless::Click(dlg, IDC_SET_DEFAULT);
  EXPECT_EQ(dlg.SendItemMessage(IDC_SET_DEFAULT, kBmGetCheck), 0);
  // Push buttons hold no check.
  dlg.SendItemMessage(IDC_NEXT, kBmSetCheck, kBstChecked);
  EXPECT_EQ(dlg.SendItemMessage(IDC_NEXT, kBmGetCheck), 0);
}

TEST_F(FrameworkTest, DisabledControlsStillRouteClicksButClickIfEnabledRefuses) {
  dlg.EnableItem(IDC_NEXT, false);
  EXPECT_TRUE(headless::Click(dlg, IDC_NEXT));
  EXPECT_EQ(dlg.nexts, 1);
  EXPECT_FALSE(headless::ClickIfEnabled(dlg, IDC_NEXT));
  EXPECT_EQ(dlg.nexts, 1);

  dlg.ShowItem(IDC_USB, false);
  EXPECT_FALSE(headless::ClickIfEnabled(dlg, IDC_USB));
  EXPECT_EQ(window().control(IDC_USB).check, 0);
  EXPECT_EQ(dlg.usbCheckSeen, -2);

  dlg.EnableItem(IDC_NEXT, true);
  EXPECT_TRUE(headless::ClickIfEnabled(dlg, IDC_NEXT));
  EXPECT_EQ(dlg.nexts, 2);
}

// ---------------------------------------------------------------- message boxes

TEST_F(FrameworkTest, AnUnexpectedMessageBoxFailsTheTestAndGetsACautiousAnswer) {
  FailureCapture capture;
  EXPECT_EQ(dlg.ShowMessageBox("quit?", "caption", kMbYesNo), kIdNo);
  ASSERT_EQ(capture.messages.size(), 1u);
  EXPECT_NE(capture.messages[0].find("quit?"), std::string::npos);
  EXPECT_EQ(dlg.AppMessageBox("note", kMbOk | kMbIconWarning), kIdOk);
  EXPECT_EQ(capture.messages.size(), 2u);
  ASSERT_EQ(window().messageBoxes().size(), 2u);
  EXPECT_FALSE(window().messageBoxes()[1].scripted);
  EXPECT_EQ(window().messageBoxes()[1].caption, "Vornell");
  EXPECT_EQ(window().messageBoxes()[1].type, kMbOk | kMbIconWarning);
}

TEST(FrameworkFailuresDeathTest, WithoutAHookAFailureStopsTheProgram) {
  EXPECT_DEATH(
      {
        headless::SetFailureHook(nullptr);
        PlainDlg dlg;
        headless::Open(dlg);
        dlg.ShowMessageBox("surprise", "c", kMbOk);
      },
      "unexpected message box \"surprise\"");
}

TEST_F(FrameworkTest, ScriptedAnswersAreConsumedInOrder) {
  window().ScriptAnswer(kIdYes);
  std::string seenText;
  window().ScriptAnswer([&](const headless::MessageBoxRecord& box) {
    seenText = box.text;
    return kIdNo;
  });
  window().ScriptAnswer(kIdOk);
  EXPECT_EQ(dlg.ShowMessageBox("first", "c", kMbYesNo), kIdYes);
  EXPECT_EQ(dlg.ShowMessageBox("second", "c", kMbYesNo), kIdNo);
  EXPECT_EQ(seenText, "second");
  EXPECT_EQ(window().pendingAnswers(), 1u);
  EXPECT_EQ(dlg.AppMessageBox("third", kMbOk), kIdOk);
  EXPECT_EQ(window().pendingAnswers(), 0u);
  ASSERT_EQ(window().messageBoxes().size(), 3u);
  EXPECT_TRUE(window().messageBoxes()[2].scripted);
  EXPECT_EQ(window().messageBoxes()[0].answer, kIdYes);

  // An answer the box has no button for is a broken script.
  FailureCapture capture;
  window().ScriptAnswer(kIdYes);
  dlg.ShowMessageBox("only OK", "c", kMbOk);
  EXPECT_EQ(capture.messages.size(), 1u);
}

// ---------------------------------------------------------------- worker waits

std::uint32_t RecordThreadAndWait(void* arg) {
  auto* shared = static_cast<std::pair<std::thread::id, std::atomic<bool>>*>(arg);
  shared->first = std::this_thread::get_id();
  // Wait for the dialog's thread to act during the wait.
  // (<chrono> does not compile under the GBK execution character set.)
  const timespec tick{0, 10'000'000};
  for (int i = 0; i < 500 && !shared->second.load(); ++i) nanosleep(&tick, nullptr);
  return shared->second.load() ? 7u : 0u;
}

TEST_F(FrameworkTest, WaitForWorkerRunsTheWorkerOnItsOwnThreadUnlessScriptedOtherwise) {
  std::pair<std::thread::id, std::atomic<bool>> shared{};
  window().SetDuringWorkerWait([&](Dialog& d) {
    headless::Paint(d);
    shared.second = true;
  });
  EXPECT_EQ(dlg.WaitForWorker(&RecordThreadAndWait, &shared), WorkerWait::kEnded);
  EXPECT_NE(shared.first, std::this_thread::get_id());
  EXPECT_EQ(dlg.paints, 1);
  ASSERT_EQ(window().workerWaits().size(), 1u);
  EXPECT_TRUE(window().workerWaits()[0].ran);
  EXPECT_EQ(window().workerWaits()[0].exitCode, 7u);  // the dialog acted while the worker ran

  window().SetDuringWorkerWait(nullptr);
  window().ScriptWorkerWait(WorkerWait::kStartFailed);
  window().ScriptWorkerWait(WorkerWait::kWaitFailed);
  shared.first = std::thread::id();
  EXPECT_EQ(dlg.WaitForWorker(&RecordThreadAndWait, &shared), WorkerWait::kStartFailed);
  EXPECT_EQ(shared.first, std::thread::id());
  EXPECT_EQ(dlg.WaitForWorker(&RecordThreadAndWait, &shared), WorkerWait::kWaitFailed);
  EXPECT_NE(shared.first, std::thread::id());
  ASSERT_EQ(window().workerWaits().size(), 3u);
  EXPECT_FALSE(window().workerWaits()[1].ran);
  EXPECT_TRUE(window().workerWaits()[2].ran);
}

// ---------------------------------------------------------------- painting

TEST_F(FrameworkTest, PaintCallsAreLoggedInOrderAgainstTheirPaintScope) {
  headless::ClearPaintLog();
  window().SetClientRect({0, 0, 36, 50});
  DcHandle used = nullptr;
  {
    Dialog::PaintScope paint(dlg);
    used = paint.dc();
    dlg.DrawIconAt(paint.dc(), 2, 9, kDragIcon);
    dlg.PaintStretchedBitmap(paint.dc(), IDB_BACKGROUND);
  }
  dlg.SetDcBkMode(used, kTransparent);  // after the scope closed

  using headless::PaintOp;
  const auto& log = headless::PaintLog();
  ASSERT_EQ(log.size(), 5u);
  EXPECT_EQ(log[0].op, PaintOp::kBeginPaint);
  EXPECT_EQ(log[1].op, PaintOp::kDrawIcon);
  EXPECT_EQ(log[1].x, 2);
  EXPECT_EQ(log[1].handle, kDragIcon);
  EXPECT_TRUE(log[1].dcValid);
  EXPECT_EQ(log[2].op, PaintOp::kStretchBitmap);
  EXPECT_EQ(log[2].dest.Width(), 36);
  EXPECT_EQ(log[2].dest.Height(), 50);
  EXPECT_EQ(log[2].srcWidth, 566);
  EXPECT_EQ(log[2].srcHeight, 383);
  EXPECT_EQ(log[3].op, PaintOp::kEndPaint);
  EXPECT_EQ(log[4].op, PaintOp::kSetBkMode);
  EXPECT_FALSE(log[4].dcValid);
}

TEST(FrameworkPainting, BrushesAreCountedAndAStrayDeleteFails) {
  BrushHandle a = Dialog::CreateSysColorBrush(kColorBtnFace);
  BrushHandle b = Dialog::CreateSysColorBrush(kColorBtnFace);
  EXPECT_NE(a, b);
  EXPECT_NE(a, Dialog::StockHollowBrush());
  EXPECT_NE(a, headless::DefaultCtlColorBrush());
  EXPECT_NE(Dialog::StockHollowBrush(), headless::DefaultCtlColorBrush());
  EXPECT_EQ(headless::LiveBrushes(), 2);
  Dialog::DeleteBrush(a);
  Dialog::DeleteBrush(nullptr);
  EXPECT_EQ(headless::LiveBrushes(), 1);
  FailureCapture capture;
  Dialog::DeleteBrush(a);
  Dialog::DeleteBrush(Dialog::StockHollowBrush());
  EXPECT_EQ(capture.messages.size(), 2u);
  Dialog::DeleteBrush(b);
  EXPECT_EQ(headless::BrushesCreated(), 2);
  EXPECT_EQ(headless::BrushesDeleted(), 2);
  EXPECT_EQ(headless::LiveBrushes(), 0);
}

// ---------------------------------------------------------------- window and resources

TEST_F(FrameworkTest, GeometryFollowsTheTemplateAtFixedBaseUnits) {
  const Rect client = dlg.GetClientRect();
  EXPECT_EQ(client.Width(), 480);   // 320 units at 1.5 px
  EXPECT_EQ(client.Height(), 325);  // 200 units at 1.625 px
  const Rect next = dlg.GetItemClientRect(IDC_NEXT);
  EXPECT_EQ(next.left, 407);
  EXPECT_EQ(next.top, 286);
  EXPECT_EQ(next.right, 455);
  EXPECT_EQ(next.bottom, 309);
  // A picture stretched to its control keeps the template's size (76 x 25 units), not its bitmap's (133 x 44).
  EXPECT_EQ(dlg.GetItemClientRect(IDC_LOGO).Width(), 114);
  EXPECT_EQ(dlg.GetItemClientRect(IDC_LOGO).Height(), 41);

  dlg.InvalidateRect(next, true);
  ASSERT_EQ(window().invalidations().size(), 1u);
  EXPECT_EQ(window().invalidations()[0].area.left, 407);
  EXPECT_TRUE(window().invalidations()[0].erase);
}

TEST_F(FrameworkTest, SystemMenuStringsIconsAndFonts) {
  void* menu = dlg.GetSystemMenu(false);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(dlg.GetSystemMenu(false), menu);
  EXPECT_TRUE(dlg.AppendMenuItem(menu, kMfSeparator, 0, ""));
  EXPECT_TRUE(dlg.AppendMenuItem(menu, kMfString, IDM_ABOUTBOX, "about"));
  EXPECT_FALSE(dlg.AppendMenuItem(reinterpret_cast<void*>(0x77), kMfString, 1, "stray"));
  ASSERT_EQ(window().menuItems().size(), 2u);
  EXPECT_EQ(window().menuItems()[1].id, IDM_ABOUTBOX);
  // Reverting gives the system's menu back and no handle.
  EXPECT_EQ(dlg.GetSystemMenu(true), nullptr);
  EXPECT_TRUE(window().menuItems().empty());

  PlainDlg noMenu;
  headless::Headless(noMenu).SetSystemMenuAvailable(false);
  ASSERT_TRUE(headless::Open(noMenu));
  EXPECT_EQ(noMenu.GetSystemMenu(false), nullptr);

  EXPECT_EQ(dlg.LoadResourceString(IDS_ABOUTBOX), "\xB9\xD8\xD3\xDA Vornell(&A)...");
  headless::SetResourceString(IDS_ABOUTBOX, "");
  EXPECT_EQ(dlg.LoadResourceString(IDS_ABOUTBOX), "");
  EXPECT_EQ(dlg.LoadResourceString(999), "");

  EXPECT_NE(dlg.LoadResourceIcon(IDR_MAINFRAME), nullptr);
  EXPECT_EQ(dlg.LoadResourceIcon(IDR_MAINFRAME), dlg.LoadResourceIcon(IDR_MAINFRAME));
  EXPECT_EQ(dlg.LoadResourceIcon(999), nullptr);

  FontSpec font;
  font.height = 23;
  font.face = "face";
  FontHandle f1 = dlg.CreateFontFrom(font);
  FontHandle f2 = dlg.CreateFontFrom(font);
  EXPECT_NE(f1, f2);
  EXPECT_NE(f1, headless::DialogFont());
  ASSERT_EQ(window().fonts().size(), 2u);
  EXPECT_EQ(window().fonts()[0].request.height, 23);
  EXPECT_EQ(window().fonts()[1].handle, f2);
}

TEST(FrameworkApp, StartUpServicesAreRecorded) {
  struct NoApp : App {
    bool InitInstance() override { return false; }
  } app;
  EXPECT_EQ(app.AppTitle(), "Vornell");
  InitCommonControls(0xFF);
  EXPECT_EQ(headless::CommonControlsInits(), std::vector<unsigned>{0xFF});
  EXPECT_TRUE(InitRichEdit());
  headless::SetRichEditInitResult(false);
  EXPECT_FALSE(InitRichEdit());
  EXPECT_EQ(headless::RichEditInits(), 2);
}

}  // namespace

}  // namespace vornell
