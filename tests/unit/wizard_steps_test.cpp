// The step machine and the buttons, walked through on the headless window
// against the simulated machine: pages, transitions, message boxes, the
// workers' outcomes, the pauses and the closing printer commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine_test_support.h"
#include "framework/headless/headless.h"
#include "platform/error_names.h"
#include "platform/simulated/simulated_machine.h"
#include "platform/simulated/simulated_process.h"
#include "res/resource.h"
#include "engine/driver_directory.h"
#include "engine/installer_state.h"
#include "wizard/license_text.h"
#include "wizard/pages.h"
#include "wizard/vornell_dlg.h"

namespace vornell {
namespace {

using headless::HeadlessWindow;

const char* const kPackageFiles[] = {"RX730TP.INF", "RX730TP.dll",  "RX730TP.gpd", "UNIDRV.DLL",
                                     "UNIDRV.HLP",  "UNIDRVUI.DLL", "UNIRES.DLL",  "STDNAMES.GPD", "RX730TP.cat"};
constexpr char kPrinterPath[] =
    "\\\\?\\usb#vid_f0e1&pid_c20b#0000RX730T#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
constexpr char kUsbQueue[] = "Orvane RX730TⅡ";
constexpr char kLptQueue[] = "Orvane RX730TⅡ LPT";
constexpr char kExitQuestion[] = "打印机驱动还没有完成安装，确定要退出安装？请选择:";
constexpr char kPackageIncomplete[] = "错误提示：   缺失安装文件，请重新下载安装程序";
constexpr char kCopyFailed[] = "错误提示：   文件在复制过程中失败，请退出重新安装";

// Controls every page leaves visible: the header band.
const std::set<int> kHeader = {IDC_MODEL, IDC_WELCOME, IDC_LOGO};

// The pages as the step machine's own table describes them.
using Page = PageLook;
const Page& kLicensePage = vornell::Page(PageId::kLicense);
const Page& kRetryPage = vornell::Page(PageId::kRetry);
const Page& kConnectionPage = vornell::Page(PageId::kConnection);
const Page& kInstallPage = vornell::Page(PageId::kInstall);
const Page& kSuccessPage = vornell::Page(PageId::kSuccess);
const Page& kFailurePage = vornell::Page(PageId::kFailure);

// Lets a test look at the window at the moment the program reaches the
// machine: the probe, and the pauses of the dialog's own thread.
class WatchedMachine : public SimulatedMachine {
 public:
  DeviceSet GetUsbDeviceSet(std::uint32_t flags) override {
    if (onProbe) onProbe();
    return SimulatedMachine::GetUsbDeviceSet(flags);
  }
  void Sleep(std::uint32_t milliseconds) override {
    // Only the dialog's own pauses: the workers sleep on other threads.
    if (onDialogPause && (milliseconds == 3000 || milliseconds == 2500)) onDialogPause(milliseconds);
    SimulatedMachine::Sleep(milliseconds);
  }
  std::function<void()> onProbe;
  std::function<void(std::uint32_t)> onDialogPause;
};

class WizardStepTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installerState = InstallerState{};
    machine.SetCurrentFolder(folder.path());
    engine_test::CopySamplePackageTo(folder.path() / "x64/driver");
    driverDirectory = folder.MakeFolder("spool/drivers/x64").string();
    machine.SetDriverDirectory(driverDirectory);
    SetServices(&machine);
  }
  void TearDown() override {
    SetServices(nullptr);
    installerState = InstallerState{};
  }

  HeadlessWindow& window() { return headless::Headless(dialog); }
  void Open() { ASSERT_TRUE(headless::Open(dialog)); }
  void AttachPrinter() { machine.SetUsbDevicePaths({kPrinterPath}); }
  void Next() { ASSERT_TRUE(headless::ClickIfEnabled(dialog, IDC_NEXT)); }
  void Back() { ASSERT_TRUE(headless::ClickIfEnabled(dialog, IDC_BACK)); }

  // License page up, printer attached: Next leads to the connection check page.
  void OpenAtConnectionPage() {
    AttachPrinter();
    Open();
    Next();
    ASSERT_EQ(installerState.step, WizardStep::kConnectionCheck);
  }

  void ExpectPage(const Page& page, const char* where) {
    SCOPED_TRACE(where);
    std::set<int> expected = kHeader;
    for (const int id : page.shown) {
      if (id != 0) expected.insert(id);
    }
    if (page.status != nullptr) expected.insert(IDC_STATUS);
    expected.insert(IDC_NEXT);
    if (page.back != nullptr) expected.insert(IDC_BACK);
    std::set<int> visible;
    for (const headless::ControlRecord& c : window().controls()) {
      if (c.visible) visible.insert(c.id);
    }
    EXPECT_EQ(visible, expected);
    if (page.status != nullptr) {
      EXPECT_EQ(window().control(IDC_STATUS).text, page.status);
    }
    EXPECT_EQ(window().control(IDC_NEXT).text, page.next);
    EXPECT_EQ(window().control(IDC_NEXT).enabled, page.nextEnabled);
    if (page.back != nullptr) {
      EXPECT_EQ(window().control(IDC_BACK).text, page.back);
      EXPECT_EQ(window().control(IDC_BACK).enabled, page.backEnabled);
    }
    if (page.boxesChecked) {
      EXPECT_EQ(window().control(IDC_SET_DEFAULT).check, 1);
      EXPECT_EQ(window().control(IDC_TEST_PAGE).check, 1);
    }
    EXPECT_FALSE(window().ended());
  }

  int ProgressPos() { return window().control(IDC_PROGRESS).pos; }

  std::vector<std::string> StartedCommands() {
    std::vector<std::string> commands;
    for (const SimulatedCall& call : machine.CallsOf("StartRundll32")) commands.push_back(call.texts.at(0));
    return commands;
  }

  std::vector<std::string> FinishCommands() {
    std::vector<std::string> commands = StartedCommands();
    // The parallel-port worker's own install command is not a finishing command.
    std::erase_if(commands, [](const std::string& c) { return c.find("/if") != std::string::npos; });
    return commands;
  }

  ScopedTempFolder folder;
  WatchedMachine machine;
  std::string driverDirectory;
  CVornellDlg dialog;
};

// ------------------------------------------------------------------ pages

TEST_F(WizardStepTest, HappyUsbRouteShowsEveryPageAndStartsBothCommands) {
  AttachPrinter();
  machine.AddPrinterAtTime(kUsbQueue, 9000);
  Open();
  EXPECT_EQ(installerState.step, WizardStep::kLicense);
  ExpectPage(kLicensePage, "license");

  Next();
  EXPECT_EQ(installerState.step, WizardStep::kConnectionCheck);
  EXPECT_EQ(installerState.connectionType, 1);
  EXPECT_EQ(installerState.printerDetected, 1);
  ExpectPage(kConnectionPage, "connection check");
  EXPECT_TRUE(installerState.expectedPrinterName.empty()) << "set only at the install step";

  bool sawInstallPage = false;
  int posDuringFirstWait = -1;
  window().SetDuringWorkerWait([&](Dialog&) {
    if (sawInstallPage) return;
    sawInstallPage = true;
    ExpectPage(kInstallPage, "install, during the first worker");
    posDuringFirstWait = ProgressPos();
  });
  Next();
  EXPECT_TRUE(sawInstallPage);
  // Eight files and the catalog: the bar is not full before the install ends.
  EXPECT_EQ(posDuringFirstWait, 10) << "1 after the check, one more per staged file";
  EXPECT_EQ(ProgressPos(), 11);
  EXPECT_EQ(window().control(IDC_PROGRESS).rangeMin, 0);
  EXPECT_EQ(window().control(IDC_PROGRESS).rangeMax, 11);
  EXPECT_EQ(installerState.step, WizardStep::kSuccess);
  EXPECT_EQ(installerState.workerStatus, 0);
  EXPECT_EQ(installerState.expectedPrinterName, kUsbQueue);
  EXPECT_EQ(std::string(installerState.printerDriverDirectory.data()), driverDirectory + "\\3");
  ExpectPage(kSuccessPage, "success");
  EXPECT_EQ(window().control(IDC_SET_DEFAULT).check, 1);
  EXPECT_EQ(window().control(IDC_TEST_PAGE).check, 1);
  ASSERT_EQ(window().workerWaits().size(), 2u);
  EXPECT_EQ(machine.CountOf("UpdateDriver"), 1u);
  for (const char* file : kPackageFiles) {
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(driverDirectory) / "3" / file)) << file;
  }

  Next();
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_EQ(StartedCommands(), (std::vector<std::string>{
                                   "printui.dll,PrintUIEntry /y /n \"Orvane RX730TⅡ\"",
                                   "printui.dll,PrintUIEntry /k /n \"Orvane RX730TⅡ\""}));
}

TEST_F(WizardStepTest, NoPrinterShowsRetryPageAndEveryNextProbesAgain) {
  Open();
  Next();
  EXPECT_EQ(installerState.step, WizardStep::kLeaveLicense);
  EXPECT_EQ(installerState.connectionRetry, 1);
  EXPECT_EQ(installerState.printerDetected, 0);
  ExpectPage(kRetryPage, "retry");
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 1u);

  Next();
  EXPECT_EQ(installerState.step, WizardStep::kLeaveLicense);
  ExpectPage(kRetryPage, "retry again");
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 2u);

  AttachPrinter();
  Next();
  EXPECT_EQ(installerState.step, WizardStep::kConnectionCheck);
  ExpectPage(kConnectionPage, "printer attached during the retry page");
}

// The probe answers that the system refused the device list; the wizard says
// so in the application's warning box, right after the probe, and shows the
// retry page.
// DEV_BROADCAST_DEVICEINTERFACE_W as Windows lays it out: size, type 5,
// reserved, class GUID, then the UTF-16 path.
std::vector<unsigned char> InterfaceArrival(const std::string& path) {
  std::vector<unsigned char> bytes(28 + 2 * (path.size() + 1), 0);
  const std::uint32_t size = static_cast<std::uint32_t>(bytes.size()), type = 5;
  std::memcpy(bytes.data(), &size, 4);
  std::memcpy(bytes.data() + 4, &type, 4);
  for (std::size_t i = 0; i < path.size(); ++i) bytes[28 + 2 * i] = static_cast<unsigned char>(path[i]);
  return bytes;
}

// A printer plugged in on the retry page retries once the arrivals have
// settled; other devices, other pages and an open question do not.
TEST_F(WizardStepTest, PrinterPluggedInOnTheRetryPageRetriesOnceAfterASecond) {
  Open();
  Next();
  ExpectPage(kRetryPage, "retry");
  const auto arrive = [&](const std::string& path, unsigned event = kDbtDeviceArrival) {
    std::vector<unsigned char> broadcast = InterfaceArrival(path);
    dialog.SendMessageToSelf(msg::kDeviceChange, event, reinterpret_cast<LParam>(broadcast.data()));
  };
  const std::string printer = "\\\\?\\USB#VID_F0E1&PID_C20B#RX7300002#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  arrive("\\\\?\\USB#VID_046D&PID_C52B#0001#{a5dcbf10-6530-11d2-901f-00c04fb951ed}");
  arrive(printer, 0x8004);  // removal
  EXPECT_TRUE(window().timers().empty()) << "another device, or not an arrival";

  AttachPrinter();
  for (int i = 0; i < 3; ++i) arrive(printer);
  EXPECT_EQ(window().timers(), (std::map<unsigned, unsigned>{{1, 1000}}));
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 1u) << "not before the pause";

  // The about box is open when the timer comes: the retry waits for it.
  bool aboutShown = false;
  headless::SetModalScript(IDD_ABOUTBOX, [&](Dialog&) {
    aboutShown = true;
    dialog.SendMessageToSelf(msg::kTimer, 1, 0);
    EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 1u);
  });
  headless::SysCommand(dialog, IDM_ABOUTBOX);
  headless::SetModalScript(IDD_ABOUTBOX, nullptr);
  EXPECT_TRUE(aboutShown);
  ASSERT_EQ(window().timers().size(), 1u);

  dialog.SendMessageToSelf(msg::kTimer, 1, 0);
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 2u) << "one retry for the burst";
  EXPECT_TRUE(window().timers().empty());
  ExpectPage(kConnectionPage, "found after the arrival");
  arrive(printer);
  EXPECT_TRUE(window().timers().empty()) << "only the retry page answers";
}

TEST_F(WizardStepTest, RefusedDeviceListIsToldInTheApplicationsWarningBoxThenTheRetryPage) {
  AttachPrinter();
  machine.RefuseDeviceSet(true);
  Open();
  std::size_t callsAtTheBox = 0;
  window().ScriptAnswer([&](const headless::MessageBoxRecord&) {
    callsAtTheBox = machine.Calls().size();
    EXPECT_FALSE(window().control(IDC_NEXT).enabled) << "still the probe's page";
    return kIdOk;
  });
  Next();
  ASSERT_EQ(window().messageBoxes().size(), 1u);
  const headless::MessageBoxRecord& box = window().messageBoxes()[0];
  EXPECT_EQ(box.text, "获取相关的设备信息集GUID句柄失败！");
  EXPECT_EQ(box.caption, "Vornell");
  EXPECT_EQ(box.type, kMbOk | kMbIconWarning);
  EXPECT_EQ(callsAtTheBox, machine.Calls().size()) << "nothing reaches the machine after the box";
  EXPECT_EQ(machine.Operations().back(), "GetUsbDeviceSet");
  ExpectPage(kRetryPage, "after the refusal");
}

TEST_F(WizardStepTest, ProbeRunsBehindADrawnPageWithDisabledButtons) {
  AttachPrinter();
  Open();
  bool probed = false;
  machine.onProbe = [&] {
    probed = true;
    EXPECT_FALSE(window().control(IDC_NEXT).enabled);
    EXPECT_FALSE(window().control(IDC_BACK).enabled);
    EXPECT_FALSE(window().control(IDC_LICENSE_HEADING).visible);
    ASSERT_FALSE(window().journal().empty());
    EXPECT_EQ(window().journal().back().op, headless::Op::kUpdateWindow) << "page drawn right before the probe";
  };
  Next();
  EXPECT_TRUE(probed);
}

// ------------------------------------------------------------ navigation

TEST_F(WizardStepTest, BackFromRetryAndConnectionPagesRebuildsTheLicensePage) {
  Open();
  const std::string text = ComposeLicenseText("\r\n");
  Next();  // no printer: retry page
  ASSERT_EQ(installerState.step, WizardStep::kLeaveLicense);
  window().control(IDC_LICENSE).text = "typed by the user";
  const int setTexts = window().control(IDC_LICENSE).setTextCount;
  Back();
  EXPECT_EQ(installerState.step, WizardStep::kLicense);
  EXPECT_EQ(installerState.connectionRetry, 0);
  ExpectPage(kLicensePage, "license after Back on the retry page");
  EXPECT_EQ(window().control(IDC_LICENSE).text, text);
  EXPECT_EQ(window().control(IDC_LICENSE).setTextCount, setTexts + 1);

  AttachPrinter();
  Next();
  ASSERT_EQ(installerState.step, WizardStep::kConnectionCheck);
  const std::size_t probes = machine.CountOf("GetUsbDeviceSet");
  Back();
  EXPECT_EQ(installerState.step, WizardStep::kLicense) << "Back skips step 2, which would probe again";
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), probes);
  ExpectPage(kLicensePage, "license after Back on the connection page");
  EXPECT_EQ(window().control(IDC_LICENSE).text, text);
  EXPECT_EQ(window().control(IDC_LICENSE).setTextCount, setTexts + 2);
}

// The text goes in whole, once per entry of the page: nothing appended to
// the old text, no selection or insertion messages.
TEST_F(WizardStepTest, EnteringTheLicensePageAgainSetsTheWholeTextOnce) {
  Open();
  const std::string text = ComposeLicenseText("\r\n");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::size_t mark = window().journal().size();
    window().ScriptAnswer(kIdNo);
    Back();  // "退出" on the license page, answered No
    std::vector<headless::JournalEntry> toBox;
    for (std::size_t i = mark; i < window().journal().size(); ++i) {
      if (window().journal()[i].id == IDC_LICENSE) toBox.push_back(window().journal()[i]);
    }
    ASSERT_EQ(toBox.size(), 2u);
    EXPECT_EQ(toBox[0].op, headless::Op::kShowItem);
    EXPECT_EQ(toBox[1].op, headless::Op::kSetRichEditText);
    EXPECT_EQ(toBox[1].text, text);
    EXPECT_EQ(window().control(IDC_LICENSE).text, text);
    // The dialog is repainted after the text is in.
    bool updatedAfter = false;
    for (std::size_t i = mark; i < window().journal().size(); ++i) {
      if (window().journal()[i].op == headless::Op::kSetRichEditText) updatedAfter = false;
      if (window().journal()[i].op == headless::Op::kUpdateWindow) updatedAfter = true;
    }
    EXPECT_TRUE(updatedAfter);
  }
}

TEST_F(WizardStepTest, ExitQuestionOnTheLicensePage) {
  Open();
  window().ScriptAnswer(kIdNo);
  Back();
  ASSERT_EQ(window().messageBoxes().size(), 1u);
  EXPECT_EQ(window().messageBoxes()[0].text, kExitQuestion);
  EXPECT_EQ(window().messageBoxes()[0].caption, "安装提示");
  EXPECT_EQ(window().messageBoxes()[0].type, kMbYesNo);
  EXPECT_EQ(installerState.step, WizardStep::kLicense);
  ExpectPage(kLicensePage, "after No");

  window().ScriptAnswer(kIdYes);
  Back();
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 0u);
}

// Exit is hidden on every page, but its handler still has its rules.
TEST_F(WizardStepTest, ExitButtonAsksBeforeStepThreeAndLeavesAtOnceFromIt) {
  Open();
  installerState.step = WizardStep::kStart;
  headless::Click(dialog, IDC_EXIT);
  EXPECT_EQ(installerState.step, WizardStep::kLicense);
  EXPECT_TRUE(window().messageBoxes().empty());

  for (const WizardStep step : {WizardStep::kLicense, WizardStep::kLeaveLicense}) {
    installerState.step = step;
    window().ScriptAnswer(kIdNo);
    headless::Click(dialog, IDC_EXIT);
    EXPECT_FALSE(window().ended());
    EXPECT_EQ(installerState.step, step);
  }
  ASSERT_EQ(window().messageBoxes().size(), 2u);
  EXPECT_EQ(window().messageBoxes()[1].text, kExitQuestion);
  EXPECT_EQ(window().messageBoxes()[1].caption, "安装提示");
  EXPECT_EQ(window().messageBoxes()[1].type, kMbYesNo);

  window().ScriptAnswer(kIdYes);
  headless::Click(dialog, IDC_EXIT);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);

  CVornellDlg atStepThree;
  ASSERT_TRUE(headless::Open(atStepThree));
  installerState.step = WizardStep::kConnectionCheck;
  headless::Click(atStepThree, IDC_EXIT);
  EXPECT_TRUE(headless::Headless(atStepThree).ended());
  EXPECT_EQ(headless::Headless(atStepThree).result(), kIdCancel);
  EXPECT_TRUE(headless::Headless(atStepThree).messageBoxes().empty()) << "no question from step 3 on";
}

TEST_F(WizardStepTest, RadioButtonsChangeOnlyTheDetectionFlag) {
  Open();
  headless::Click(dialog, IDC_PARALLEL);
  EXPECT_EQ(installerState.printerDetected, 1);
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 0u) << "no probe for the parallel port";

  headless::Click(dialog, IDC_USB);
  EXPECT_EQ(installerState.printerDetected, 0) << "cleared, and no printer attached";
  EXPECT_EQ(machine.CountOf("GetUsbDeviceSet"), 1u);
  AttachPrinter();
  headless::Click(dialog, IDC_USB);
  EXPECT_EQ(installerState.printerDetected, 1);

  EXPECT_EQ(installerState.step, WizardStep::kLicense);
  EXPECT_EQ(installerState.connectionType, 0);
  ExpectPage(kLicensePage, "radio clicks leave the page");
}

TEST_F(WizardStepTest, StepOutsideTheKnownRangeDoesNothing) {
  Open();
  for (const int number : {-1, 9, 100}) {
    SCOPED_TRACE(number);
    const auto step = static_cast<WizardStep>(number);
    installerState.step = step;
    const std::size_t journal = window().journal().size();
    const std::size_t calls = machine.Calls().size();
    dialog.RunStep();
    EXPECT_EQ(window().journal().size(), journal);
    EXPECT_EQ(machine.Calls().size(), calls);
    EXPECT_EQ(installerState.step, step);
  }
  EXPECT_FALSE(window().ended());
}

// ------------------------------------------------------- install failures

TEST_F(WizardStepTest, MissingPackageFileAnsweredNoLeavesTheInstallPageAndYesEnds) {
  std::filesystem::remove(folder.path() / "x64/driver/UNIRES.DLL");
  OpenAtConnectionPage();
  window().ScriptAnswer(kIdNo);
  Next();
  ASSERT_EQ(window().messageBoxes().size(), 1u);
  EXPECT_EQ(window().messageBoxes()[0].text, kPackageIncomplete);
  EXPECT_EQ(window().messageBoxes()[0].caption, "错误提示");
  EXPECT_EQ(window().messageBoxes()[0].type, kMbYesNo);
  ExpectPage(kInstallPage, "after No");
  EXPECT_EQ(ProgressPos(), 0);
  EXPECT_EQ(installerState.step, WizardStep::kInstall);
  EXPECT_TRUE(window().workerWaits().empty());
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);

  // Yes ends the dialog; only the window's own commands remain after No.
  window().ScriptAnswer(kIdYes);
  dialog.RunStep();
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_TRUE(window().workerWaits().empty());
}

TEST_F(WizardStepTest, FailedCopyAnsweredNoLeavesTheBarAtItsCountAndYesEnds) {
  machine.FailCopyOf("UNIDRV.HLP");
  OpenAtConnectionPage();
  window().ScriptAnswer(kIdNo);
  Next();
  ASSERT_EQ(window().messageBoxes().size(), 1u);
  EXPECT_EQ(window().messageBoxes()[0].text, kCopyFailed);
  EXPECT_EQ(window().messageBoxes()[0].caption, "错误提示");
  EXPECT_EQ(window().messageBoxes()[0].type, kMbYesNo);
  ExpectPage(kInstallPage, "after No");
  // 1 for the check, one per file copied before the failing one.
  const std::size_t copied = machine.CountOf("CopyFileTo") - 1;
  EXPECT_EQ(ProgressPos(), 1 + static_cast<int>(copied));
  EXPECT_TRUE(window().workerWaits().empty());

  window().ScriptAnswer(kIdYes);
  dialog.RunStep();
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_TRUE(window().workerWaits().empty());
}

// An unattended run that installs meanwhile writes the same copy: the
// wizard copies nothing and says the copy failed; a package file that is
// not the program's own is named in its box.
TEST_F(WizardStepTest, CopyIsRefusedWhileAnotherRunInstallsAndNamesAFileThatDiffers) {
  OpenAtConnectionPage();
  SetInstallLockHeldElsewhere(true);
  window().ScriptAnswer(kIdNo);
  Next();
  SetInstallLockHeldElsewhere(false);
  ASSERT_EQ(window().messageBoxes().size(), 1u);
  EXPECT_EQ(window().messageBoxes()[0].text, kCopyFailed);
  EXPECT_EQ(machine.CountOf("CopyVerifiedFile"), 0u);
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);

  installerState = InstallerState{};
  CVornellDlg second;
  folder.WriteFile("x64/driver/UNIRES.DLL", "not the package's");
  ASSERT_TRUE(headless::Open(second));
  headless::Click(second, IDC_NEXT);
  HeadlessWindow& w = headless::Headless(second);
  w.ScriptAnswer(kIdYes);
  headless::Click(second, IDC_NEXT);
  ASSERT_EQ(w.messageBoxes().size(), 1u);
  EXPECT_EQ(w.messageBoxes()[0].text,
            std::string("错误提示：   安装文件已损坏，或不是本安装程序所带的文件，请重新下载安装程序：UNIRES.DLL"));
  EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
  EXPECT_TRUE(w.ended());
}

// The system's answer is not a path: nothing may be staged under "\3" of it.
TEST_F(WizardStepTest, UnavailableDriverDirectoryIsAFailedCopy) {
  struct Case {
    const char* name;
    std::function<void(SimulatedMachine&)> script;
  };
  const std::vector<Case> cases = {
      {"call fails", [](SimulatedMachine& m) { m.FailDriverDirectory("C:"); }},
      {"call fails, no terminator", [](SimulatedMachine& m) { m.FailDriverDirectory(std::string(300, 'x')); }},
      {"path too long", [](SimulatedMachine& m) { m.SetDriverDirectory("C:\\" + std::string(300, 'd')); }},
      {"empty path", [](SimulatedMachine& m) { m.SetDriverDirectory(""); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    installerState = InstallerState{};
    CVornellDlg wizard;
    c.script(machine);
    machine.ClearCalls();
    AttachPrinter();
    ASSERT_TRUE(headless::Open(wizard));
    headless::Click(wizard, IDC_NEXT);
    HeadlessWindow& w = headless::Headless(wizard);
    w.ScriptAnswer(kIdNo);
    headless::Click(wizard, IDC_NEXT);
    ASSERT_EQ(w.messageBoxes().size(), 1u);
    EXPECT_EQ(w.messageBoxes()[0].text, kCopyFailed);
    EXPECT_EQ(machine.CountOf("CopyFileTo"), 0u);
    EXPECT_EQ(machine.CountOf("CreateFolder"), 0u);
    EXPECT_EQ(w.control(IDC_PROGRESS).pos, 1) << "the package check passed";
    EXPECT_TRUE(w.workerWaits().empty());
    const auto& buffer = installerState.printerDriverDirectory;
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](char ch) { return ch == '\0'; }));
  }
}

// The fetch is limited to 260 bytes; "\3" and its zero must still fit.
TEST(PrinterDriverDirectoryTest, SuffixAppendedWithinTheBuffer) {
  SimulatedMachine m;
  SetServices(&m);
  struct Restore {
    ~Restore() { SetServices(nullptr); }
  } restore;
  std::array<char, kPrinterDriverDirectorySize> buffer{};
  buffer.fill('#');
  const std::string longest = "C:\\" + std::string(256, 'd');  // 259 bytes and its zero: 260
  m.SetDriverDirectory(longest);
  ASSERT_TRUE(FetchPrinterDriverDirectory(buffer));
  EXPECT_EQ(std::string(buffer.data()), longest + "\\3");
  EXPECT_TRUE(std::all_of(buffer.begin() + 262, buffer.end(), [](char c) { return c == '\0'; }));
  ASSERT_EQ(m.CallsOf("GetDriverDirectory").size(), 1u);
  EXPECT_EQ(m.CallsOf("GetDriverDirectory")[0].numbers.at(0), 260u);

  m.SetDriverDirectory(longest + "d");  // no room for its zero
  EXPECT_FALSE(FetchPrinterDriverDirectory(buffer));
  EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](char c) { return c == '\0'; }));
}

// ------------------------------------------------------ install outcomes

struct Outcome {
  const char* name;
  bool updateSucceeds;
  std::uint32_t updateError;
  int copyOemInf;
  bool queueAppears;
  std::int32_t status;
  bool success;
};

TEST_F(WizardStepTest, WorkerStatusAloneDecidesTheOutcome) {
  const std::vector<Outcome> outcomes = {
      {"update succeeded, no queue", true, 0, 1, false, 0, true},
      {"printer already exists, no queue", false, 1802, 0, false, 1802, true},
      {"INF only in the store, no queue", false, 0xE000020B, 1, false, -1, false},
      {"update failed with a code, no queue", false, 0xE000020B, 0, false, static_cast<std::int32_t>(0xE000020B),
       false},
      {"update failed, queue appears later", false, 0xE000020B, 0, true, 0, true},
  };
  for (const Outcome& o : outcomes) {
    SCOPED_TRACE(o.name);
    installerState = InstallerState{};
    SimulatedMachine m;
    m.SetCurrentFolder(folder.path());
    m.SetDriverDirectory(driverDirectory);
    m.SetUsbDevicePaths({kPrinterPath});
    m.SetUpdateDriverResult(o.updateSucceeds, o.updateError);
    m.SetCopyOemInfResult(o.copyOemInf);
    if (o.queueAppears) m.AddPrinterAtTime(kUsbQueue, 15000);
    SetServices(&m);
    CVornellDlg wizard;
    ASSERT_TRUE(headless::Open(wizard));
    headless::Click(wizard, IDC_NEXT);
    headless::Click(wizard, IDC_NEXT);
    HeadlessWindow& w = headless::Headless(wizard);
    EXPECT_EQ(installerState.workerStatus, o.status);
    EXPECT_EQ(w.workerWaits().size(), 2u);
    EXPECT_EQ(installerState.step, o.success ? WizardStep::kSuccess : WizardStep::kFailure);
    EXPECT_EQ(w.control(IDC_STATUS).text, o.success ? "打印机驱动安装成功！" : "打印机驱动安装失败");
    EXPECT_FALSE(w.control(IDC_PROGRESS).visible);
    EXPECT_EQ(w.control(IDC_NEXT).text, o.success ? "完成" : "退出");
    if (o.success) {
      EXPECT_EQ(w.control(IDC_PROGRESS).pos, 11);
    } else {
      EXPECT_EQ(w.control(IDC_PROGRESS).pos, 10) << "no jump to the end on failure";
    }
  }
  SetServices(&machine);
}

TEST_F(WizardStepTest, FailurePageNextEndsTheDialogWithoutCommands) {
  machine.SetUpdateDriverResult(false, 0xE000020B);
  machine.SetCopyOemInfResult(0);
  OpenAtConnectionPage();
  Next();
  ExpectPage(kFailurePage, "failure");
  Next();
  EXPECT_EQ(installerState.step, WizardStep::kLeaveAfterFailure);
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_TRUE(StartedCommands().empty());
}

// A refusal for the signature or by policy gets a box saying what to do
// over the failure page; another failure (above) gets none.
TEST_F(WizardStepTest, SignatureRefusalIsExplainedOverTheFailurePage) {
  const struct {
    std::uint32_t code;
    const char* start;
  } cases[] = {{0xE0000243, "错误提示：   Windows 不信任此驱动程序的发布者"},
               {0x80096010, "错误提示：   驱动程序的数字签名无效"},
               {3014, "错误提示：   本机的策略不允许安装此打印机驱动程序"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    installerState = InstallerState{};
    SimulatedMachine m;
    m.SetCurrentFolder(folder.path());
    m.SetDriverDirectory(driverDirectory);
    m.SetUsbDevicePaths({kPrinterPath});
    m.SetUpdateDriverResult(false, c.code);
    m.SetCopyOemInfResult(0, c.code);
    SetServices(&m);
    CVornellDlg wizard;
    ASSERT_TRUE(headless::Open(wizard));
    HeadlessWindow& w = headless::Headless(wizard);
    bool pageFirst = false;
    w.ScriptAnswer([&](const headless::MessageBoxRecord&) {
      pageFirst = installerState.step == WizardStep::kFailure && !w.control(IDC_PROGRESS).visible;
      return kIdOk;
    });
    headless::Click(wizard, IDC_NEXT);
    headless::Click(wizard, IDC_NEXT);
    ASSERT_EQ(w.messageBoxes().size(), 1u);
    const headless::MessageBoxRecord& box = w.messageBoxes()[0];
    EXPECT_EQ(box.text.rfind(c.start, 0), 0u) << box.text;
    EXPECT_NE(box.text.find(FindDriverRefusal(c.code)->name), std::string::npos);
    EXPECT_EQ(box.type, kMbOk | kMbIconError);
    EXPECT_TRUE(pageFirst);
    EXPECT_EQ(w.control(IDC_STATUS).text, "打印机驱动安装失败");
    SetServices(&machine);
  }
}

TEST_F(WizardStepTest, ParallelRouteWaitsForAndNamesTheLptQueue) {
  machine.AddPrinterAtTime(kLptQueue, 8000);
  OpenAtConnectionPage();
  installerState.connectionType = 2;  // no page sets it; the route must still hold
  Next();
  EXPECT_EQ(installerState.expectedPrinterName, kLptQueue);
  EXPECT_EQ(machine.CountOf("UpdateDriver"), 0u) << "not the USB worker";
  EXPECT_EQ(window().workerWaits().size(), 2u);
  ExpectPage(kSuccessPage, "success on the parallel port");
  Next();
  EXPECT_EQ(FinishCommands(), (std::vector<std::string>{
                                  "printui.dll,PrintUIEntry /y /n \"Orvane RX730TⅡ LPT\"",
                                  "printui.dll,PrintUIEntry /k /n \"Orvane RX730TⅡ LPT\""}));
  EXPECT_TRUE(window().ended());
}

TEST_F(WizardStepTest, UnknownConnectionTypeRunsNoInstallWorkerAndFails) {
  machine.AddPrinter(kUsbQueue);  // listed, but nothing is waited for by name
  OpenAtConnectionPage();
  for (const int type : {0, 3}) {
    SCOPED_TRACE(type);
    installerState.step = WizardStep::kConnectionCheck;
    installerState.connectionType = type;
    installerState.workerStatus = 0;
    const std::size_t waits = window().workerWaits().size();
    Next();
    EXPECT_EQ(installerState.workerStatus, -1);
    EXPECT_EQ(window().workerWaits().size(), waits + 1) << "only the registration wait";
    EXPECT_TRUE(installerState.expectedPrinterName.empty());
    EXPECT_EQ(machine.CountOf("UpdateDriver"), 0u);
    EXPECT_EQ(installerState.step, WizardStep::kFailure);
    ExpectPage(kFailurePage, "failure");
    // Files already staged by the first round stay and are not copied again.
    machine.ClearCalls();
  }
}

TEST_F(WizardStepTest, WorkerThatCannotStartOrBeWaitedForLeadsToTheFailurePage) {
  struct Case {
    const char* name;
    std::vector<WorkerWait> script;
    std::size_t waits;
  };
  const std::vector<Case> cases = {
      {"install worker not started", {WorkerWait::kStartFailed}, 1},
      {"install worker's wait failed", {WorkerWait::kWaitFailed}, 1},
      {"registration wait not started", {WorkerWait::kEnded, WorkerWait::kStartFailed}, 2},
      {"registration wait failed", {WorkerWait::kEnded, WorkerWait::kWaitFailed}, 2},
  };
  machine.AddPrinter(kUsbQueue);  // a finished wait would have meant success
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    installerState = InstallerState{};
    CVornellDlg wizard;
    AttachPrinter();
    ASSERT_TRUE(headless::Open(wizard));
    headless::Click(wizard, IDC_NEXT);
    HeadlessWindow& w = headless::Headless(wizard);
    for (const WorkerWait outcome : c.script) w.ScriptWorkerWait(outcome);
    headless::Click(wizard, IDC_NEXT);
    EXPECT_EQ(w.workerWaits().size(), c.waits) << "nothing started after a wait that did not end";
    EXPECT_EQ(installerState.step, WizardStep::kFailure);
    EXPECT_EQ(w.control(IDC_STATUS).text, "打印机驱动安装失败");
    EXPECT_EQ(w.control(IDC_NEXT).text, "退出");
    EXPECT_TRUE(w.control(IDC_NEXT).enabled);
    EXPECT_FALSE(w.ended());
  }
}

// The close box during the install ends the dialog, but the running step
// finishes first.
TEST_F(WizardStepTest, CloseBoxDuringTheInstallEndsAfterTheStep) {
  machine.AddPrinter(kUsbQueue);
  OpenAtConnectionPage();
  bool closed = false;
  window().SetDuringWorkerWait([&](Dialog& d) {
    if (closed) return;
    closed = true;
    headless::CloseBox(d);
  });
  Next();
  EXPECT_TRUE(window().ended());
  EXPECT_EQ(window().result(), kIdCancel);
  EXPECT_EQ(window().workerWaits().size(), 2u);
  EXPECT_EQ(installerState.step, WizardStep::kSuccess);
  EXPECT_TRUE(window().messageBoxes().empty());
}

// ------------------------------------------------ pauses and the finish

TEST_F(WizardStepTest, PausesBeforeTheSuccessPageAndBeforeTheCommands) {
  machine.AddPrinter(kUsbQueue);
  OpenAtConnectionPage();
  std::vector<std::uint32_t> dialogPauses;
  machine.onDialogPause = [&](std::uint32_t ms) {
    dialogPauses.push_back(ms);
    if (ms == 3000) {
      // The install page stays on screen during the pause.
      EXPECT_EQ(window().control(IDC_STATUS).text, "正在安装打印机驱动……");
      EXPECT_FALSE(window().control(IDC_SET_DEFAULT).visible);
      EXPECT_EQ(window().control(IDC_PROGRESS).pos, 11);
    } else {
      EXPECT_EQ(machine.CountOf("StartRundll32"), 0u) << "the pause comes first";
      EXPECT_FALSE(window().ended());
    }
  };
  Next();
  std::vector<std::uint32_t> expected(9, 100);  // one per staged file
  expected.push_back(7000);                      // the registration wait's first look
  expected.push_back(3000);
  EXPECT_EQ(machine.Sleeps(), expected);
  Next();
  expected.push_back(2500);
  EXPECT_EQ(machine.Sleeps(), expected);
  EXPECT_EQ(dialogPauses, (std::vector<std::uint32_t>{3000, 2500}));
}

TEST_F(WizardStepTest, CheckBoxesChooseTheFinishingCommands) {
  struct Case {
    bool setDefault;
    bool testPage;
    std::vector<std::string> commands;
  };
  const std::vector<Case> cases = {
      {true, true,
       {"printui.dll,PrintUIEntry /y /n \"Orvane RX730TⅡ\"", "printui.dll,PrintUIEntry /k /n \"Orvane RX730TⅡ\""}},
      {true, false, {"printui.dll,PrintUIEntry /y /n \"Orvane RX730TⅡ\""}},
      {false, true, {"printui.dll,PrintUIEntry /k /n \"Orvane RX730TⅡ\""}},
      {false, false, {}},
  };
  machine.AddPrinter(kUsbQueue);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.setDefault) + std::to_string(c.testPage));
    installerState = InstallerState{};
    CVornellDlg wizard;
    AttachPrinter();
    ASSERT_TRUE(headless::Open(wizard));
    headless::Click(wizard, IDC_NEXT);
    headless::Click(wizard, IDC_NEXT);
    ASSERT_EQ(installerState.step, WizardStep::kSuccess);
    // The boxes start checked; a click clears one.
    if (!c.setDefault) headless::Click(wizard, IDC_SET_DEFAULT);
    if (!c.testPage) headless::Click(wizard, IDC_TEST_PAGE);
    machine.ClearCalls();
    headless::Click(wizard, IDC_NEXT);
    EXPECT_EQ(StartedCommands(), c.commands);
    EXPECT_EQ(machine.Sleeps().back(), 2500u);
    EXPECT_TRUE(headless::Headless(wizard).ended());
    EXPECT_EQ(headless::Headless(wizard).result(), kIdCancel);
  }
}

}  // namespace
}  // namespace vornell
