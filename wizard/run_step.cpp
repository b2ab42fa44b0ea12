// The step machine. Each step shows its page and does its work in a fixed
// order; steps 0, 2, 3 and 4 move on by calling RunStep again.
#include <string>

#include "engine/engine.h"
#include "platform/services.h"
#include "wizard/driver_directory.h"
#include "wizard/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

namespace {

constexpr int kUsb = 1;
constexpr int kParallelPort = 2;

constexpr std::uint32_t kSuccessPause = 3000;  // the install page stays this long
constexpr std::uint32_t kFinishPause = 2500;

constexpr char kAskForPrinter[] = "提示：请检查打印机是否连接";
constexpr char kPrinterFound[] = "点击 “ 继续 ” 进行打印机驱动安装";
constexpr char kInstalling[] = "正在安装打印机驱动……";
constexpr char kInstalled[] = "打印机驱动安装成功！";
constexpr char kInstallFailed[] = "打印机驱动安装失败";
constexpr char kErrorCaption[] = "错误提示";
constexpr char kPackageIncomplete[] = "错误提示：   缺失安装文件，请重新下载安装程序";
constexpr char kCopyFailed[] = "错误提示：   文件在复制过程中失败，请退出重新安装";

// The options after "rundll32 ", the queue name in double quotes.
std::string PrintUiArguments(const char* option, const std::string& queue) {
  return std::string("printui.dll,PrintUIEntry ") + option + " /n \"" + queue + "\"";
}

}  // namespace

void CVornellDlg::RunStep() {
  InstallerState& s = installerState;
  switch (s.step) {
    case 0:
      s.step = 1;
      RunStep();
      return;

    case 1:
      s.connectionRetry = 0;
      for (const int id : {IDC_PICTURE, IDC_PROGRESS, IDC_QUESTION, IDC_EXIT,
                           IDC_CONNECTION_GROUP, IDC_USB, IDC_PARALLEL, IDC_STATUS}) {
        ShowItem(id, false);
      }
      SetItemText(IDC_NEXT, "安装");
      ShowItem(IDC_BACK, true);
      SetItemText(IDC_BACK, "退出");
      ShowItem(IDC_LICENSE, true);
      ShowItem(IDC_LICENSE_HEADING, true);
      ShowLicenseText();
      // Enter accepts, as the default button, rather than ending the window.
      FocusItem(IDC_NEXT);
      return;

    case 2:
      s.printerDetected = 0;
      for (const int id : {IDC_LICENSE, IDC_LICENSE_HEADING, IDC_QUESTION, IDC_PROGRESS}) {
        ShowItem(id, false);
      }
      SetItemText(IDC_NEXT, "继续");
      SetItemText(IDC_BACK, "返回");
      // After a failed probe the page holds; step 3 writes its status line.
      if (s.connectionRetry != 0) return;
      ++s.step;
      RunStep();
      return;

    case 3:
      s.connectionType = kUsb;
      s.printerDetected = 0;
      for (const int id : {IDC_LICENSE_HEADING, IDC_QUESTION, IDC_PICTURE,
                           IDC_CONNECTION_GROUP, IDC_USB, IDC_PARALLEL}) {
        ShowItem(id, false);
      }
      ParkFocus();
      EnableItem(IDC_NEXT, false);
      EnableItem(IDC_BACK, false);
      // The probe blocks this thread: draw the page with its disabled buttons first.
      UpdateWindow();
      ProbeUsbPrinter(*this);
      // What was clicked or typed meanwhile was meant for the page with its
      // disabled buttons, not for the buttons enabled now.
      DiscardQueuedInput();
      if (s.printerDetected != 0) {
        EnableItem(IDC_NEXT, true);
        EnableItem(IDC_BACK, true);
        ShowItem(IDC_STATUS, true);
        SetItemText(IDC_STATUS, kPrinterFound);
        RefreshControl(IDC_STATUS);
        ShowItem(IDC_BACK, true);
        FocusItem(IDC_NEXT);
        return;
      }
      s.connectionRetry = 1;
      --s.step;
      RunStep();
      ShowItem(IDC_STATUS, true);
      SetItemText(IDC_STATUS, kAskForPrinter);
      RefreshControl(IDC_STATUS);
      EnableItem(IDC_NEXT, true);
      EnableItem(IDC_BACK, true);
      FocusItem(IDC_NEXT);
      return;

    case 4:
      RunInstallStep();
      return;

    case 5:
      GetServices().Sleep(kSuccessPause);
      // A click of the pause must not land on "完成" once it is enabled: it
      // would start the printer commands nobody chose.
      DiscardQueuedInput();
      ShowItem(IDC_SET_DEFAULT, true);
      ShowItem(IDC_TEST_PAGE, true);
      ShowItem(IDC_PROGRESS, false);
      SetItemText(IDC_STATUS, kInstalled);
      RefreshControl(IDC_STATUS);
      SendItemMessage(IDC_SET_DEFAULT, kBmSetCheck, kBstChecked);
      SendItemMessage(IDC_TEST_PAGE, kBmSetCheck, kBstChecked);
      EnableItem(IDC_NEXT, true);
      SetItemText(IDC_NEXT, "完成");
      ShowItem(IDC_BACK, false);
      FocusItem(IDC_NEXT);
      return;

    case 6:
      RunFinishStep();
      return;

    case 7:
      ShowItem(IDC_PROGRESS, false);
      SetItemText(IDC_STATUS, kInstallFailed);
      RefreshControl(IDC_STATUS);
      EnableItem(IDC_NEXT, true);
      SetItemText(IDC_NEXT, "退出");
      ShowItem(IDC_BACK, false);
      FocusItem(IDC_NEXT);
      return;

    case 8:
      EndDialog(kIdCancel);
      return;

    default:
      return;
  }
}

void CVornellDlg::RunInstallStep() {
  InstallerState& s = installerState;
  ShowItem(IDC_PROGRESS, true);
  ParkFocus();
  EnableItem(IDC_NEXT, false);
  EnableItem(IDC_BACK, false);
  SetItemText(IDC_STATUS, kInstalling);
  RefreshControl(IDC_STATUS);
  RefreshControl(IDC_LICENSE_HEADING);

  const bool haveDriverDirectory = FetchPrinterDriverDirectory(s.printerDriverDirectory);

  SendItemMessage(IDC_PROGRESS, kPbmSetRange, 0, MakeLong(0, 10));
  SendItemMessage(IDC_PROGRESS, kPbmSetPos, 0);
  SendItemMessage(IDC_PROGRESS, kPbmSetStep, 1);

  // After No the install page stays with its buttons disabled; only the
  // window's close commands remain.
  if (!CheckDriverPackage()) {
    RefreshControl(IDC_LICENSE_HEADING);
    // A click queued during the check must not answer the box.
    DiscardQueuedInput();
    if (ShowMessageBox(kPackageIncomplete, kErrorCaption, kMbYesNo) == kIdYes) {
      EndDialog(kIdCancel);
    }
    return;
  }
  SendItemMessage(IDC_PROGRESS, kPbmStepIt);

  // Without the directory nothing is staged: it counts as a failed copy.
  if (!haveDriverDirectory || !StageDriverFiles(*this)) {
    RefreshControl(IDC_LICENSE_HEADING);
    DiscardQueuedInput();
    if (ShowMessageBox(kCopyFailed, kErrorCaption, kMbYesNo) == kIdYes) {
      EndDialog(kIdCancel);
    }
    return;
  }

  DiscardQueuedInput();

  // The workers receive the address of the main window's handle.
  WindowHandle mainWindow = GetSafeHwnd();
  // A worker that did not start, or whose end was not seen, leaves no result
  // to trust; the second worker is not started while the first may still run.
  bool workersEnded = true;
  switch (s.connectionType) {
    case kUsb:
      s.expectedPrinterName = s.printerName;
      workersEnded = WaitForWorker(&UsbInstallThread, &mainWindow) == WorkerWait::kEnded;
      break;
    case kParallelPort:
      s.expectedPrinterName = s.lptPrinterName;
      workersEnded = WaitForWorker(&ParallelInstallThread, &mainWindow) == WorkerWait::kEnded;
      break;
    default:
      s.workerStatus = -1;
      break;
  }
  if (workersEnded) {
    workersEnded = WaitForWorker(&PrinterWaitThread, &mainWindow) == WorkerWait::kEnded;
  }

  if (workersEnded && IsInstallSuccess(s.workerStatus)) {
    SendItemMessage(IDC_PROGRESS, kPbmSetPos, 10);
    s.step = 5;
  } else {
    s.step = 7;
  }
  RunStep();
}

void CVornellDlg::ParkFocus() {
  if (ItemHasFocus(IDC_NEXT) || ItemHasFocus(IDC_BACK)) FocusDialog();
}

void CVornellDlg::RunFinishStep() {
  const InstallerState& s = installerState;
  GetServices().Sleep(kFinishPause);
  const std::string& queue = s.connectionType == kUsb ? s.printerName : s.lptPrinterName;
  // Started one after the other and not awaited; their outcome is not reported.
  if (SendItemMessage(IDC_SET_DEFAULT, kBmGetCheck) != 0) {
    GetServices().StartRundll32(PrintUiArguments("/y", queue));
  }
  if (SendItemMessage(IDC_TEST_PAGE, kBmGetCheck) != 0) {
    GetServices().StartRundll32(PrintUiArguments("/k", queue));
  }
  EndDialog(kIdCancel);
}

}  // namespace vornell
