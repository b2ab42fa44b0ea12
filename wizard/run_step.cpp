// The step machine. Each step shows its page and does its work in a fixed
// order; steps 0, 2, 3 and 4 move on by calling RunStep again.
#include <string>

#include "engine/driver_directory.h"
#include "engine/engine.h"
#include "engine/installer_state.h"
#include "platform/error_names.h"
#include "platform/log.h"
#include "platform/process.h"
#include "platform/process_calls.h"
#include "platform/spooler.h"
#include "res/version.h"
#include "wizard/pages.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

namespace {

constexpr int kUsb = 1;
constexpr int kParallelPort = 2;

constexpr std::uint32_t kSuccessPause = 3000;  // the install page stays this long
constexpr std::uint32_t kFinishPause = 2500;

constexpr const PageLook& kLicensePage = Page(PageId::kLicense);
constexpr const PageLook& kRetryPage = Page(PageId::kRetry);
constexpr const PageLook& kConnectionPage = Page(PageId::kConnection);
constexpr const PageLook& kInstallPage = Page(PageId::kInstall);
constexpr const PageLook& kSuccessPage = Page(PageId::kSuccess);
constexpr const PageLook& kFailurePage = Page(PageId::kFailure);

constexpr char kErrorCaption[] = "错误提示";
constexpr char kDeviceSetRefused[] = "获取相关的设备信息集GUID句柄失败！";
constexpr char kPackageIncomplete[] = "错误提示：   缺失安装文件，请重新下载安装程序";
constexpr char kCopyFailed[] = "错误提示：   文件在复制过程中失败，请退出重新安装";
// Windows refused the driver for its signature or by policy: what to do about it.
constexpr char kPublisherNotTrusted[] =
    "错误提示：   Windows 不信任此驱动程序的发布者，驱动程序未能安装。请系统管理员先信任发布者的证书，再重新安装";
constexpr char kPublisherForbidden[] = "错误提示：   此驱动程序的发布者已被本机禁止，驱动程序未能安装。请联系系统管理员";
constexpr char kSignatureInvalid[] = "错误提示：   驱动程序的数字签名无效，Windows 拒绝安装。请重新下载安装程序";
constexpr char kPolicyBlocked[] =
    "错误提示：   本机的策略不允许安装此打印机驱动程序（例如 Windows 受保护的打印模式）。请联系系统管理员";

// The box for a refusal, or empty when `error` is none.
std::string RefusalText(std::uint32_t error) {
  const KnownError* known = FindDriverRefusal(error);
  if (known == nullptr) return {};
  const char* sentence = kSignatureInvalid;
  switch (known->refusal) {
    case DriverRefusal::kPublisherNotTrusted: sentence = kPublisherNotTrusted; break;
    case DriverRefusal::kPublisherForbidden: sentence = kPublisherForbidden; break;
    case DriverRefusal::kPolicyBlocked: sentence = kPolicyBlocked; break;
    case DriverRefusal::kSignatureInvalid:
    case DriverRefusal::kNone: break;
  }
  return std::string(sentence) + "（" + known->name + "）";
}
constexpr char kPackageDamaged[] = "错误提示：   安装文件已损坏，或不是本安装程序所带的文件，请重新下载安装程序：";

}  // namespace

void CVornellDlg::RunStep() {
  InstallerState& s = installerState;
  switch (s.step) {
    case WizardStep::kStart:
      s.step = WizardStep::kLicense;
      RunStep();
      return;

    case WizardStep::kLicense:
      s.connectionRetry = 0;
      for (const int id : {IDC_PICTURE, IDC_PROGRESS, IDC_QUESTION, IDC_EXIT,
                           IDC_CONNECTION_GROUP, IDC_USB, IDC_PARALLEL, IDC_STATUS}) {
        ShowItem(id, false);
      }
      SetItemText(IDC_NEXT, kLicensePage.next);
      ShowItem(IDC_BACK, true);
      SetItemText(IDC_BACK, kLicensePage.back);
      ShowItem(IDC_LICENSE, true);
      ShowItem(IDC_LICENSE_HEADING, true);
      ShowLicenseText();
      // Enter accepts, as the default button, rather than ending the window.
      FocusItem(IDC_NEXT);
      return;

    case WizardStep::kLeaveLicense:
      s.printerDetected = 0;
      for (const int id : {IDC_LICENSE, IDC_LICENSE_HEADING, IDC_QUESTION, IDC_PROGRESS}) {
        ShowItem(id, false);
      }
      SetItemText(IDC_NEXT, kRetryPage.next);
      SetItemText(IDC_BACK, kRetryPage.back);
      // After a failed probe the page holds; step 3 writes its status line.
      if (s.connectionRetry != 0) return;
      s.step = WizardStep::kConnectionCheck;
      RunStep();
      return;

    case WizardStep::kConnectionCheck:
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
      ProbeUsbPrinterAndSay();
      // What was clicked or typed meanwhile was meant for the page with its
      // disabled buttons, not for the buttons enabled now.
      DiscardQueuedInput();
      if (s.printerDetected != 0) {
        EnableItem(IDC_NEXT, true);
        EnableItem(IDC_BACK, true);
        ShowItem(IDC_STATUS, true);
        SetItemText(IDC_STATUS, kConnectionPage.status);
        RefreshControl(IDC_STATUS);
        ShowItem(IDC_BACK, true);
        FocusItem(IDC_NEXT);
        return;
      }
      s.connectionRetry = 1;
      s.step = WizardStep::kLeaveLicense;
      RunStep();
      ShowItem(IDC_STATUS, true);
      SetItemText(IDC_STATUS, kRetryPage.status);
      RefreshControl(IDC_STATUS);
      EnableItem(IDC_NEXT, true);
      EnableItem(IDC_BACK, true);
      FocusItem(IDC_NEXT);
      return;

    case WizardStep::kInstall:
      RunInstallStep();
      return;

    case WizardStep::kSuccess:
      GetProcessCalls().Sleep(kSuccessPause);
      // A click of the pause must not land on "完成" once it is enabled: it
      // would start the printer commands nobody chose.
      DiscardQueuedInput();
      ShowItem(IDC_SET_DEFAULT, true);
      ShowItem(IDC_TEST_PAGE, true);
      ShowItem(IDC_PROGRESS, false);
      SetItemText(IDC_STATUS, kSuccessPage.status);
      RefreshControl(IDC_STATUS);
      SendItemMessage(IDC_SET_DEFAULT, kBmSetCheck, kBstChecked);
      SendItemMessage(IDC_TEST_PAGE, kBmSetCheck, kBstChecked);
      EnableItem(IDC_NEXT, true);
      SetItemText(IDC_NEXT, kSuccessPage.next);
      ShowItem(IDC_BACK, false);
      FocusItem(IDC_NEXT);
      return;

    case WizardStep::kFinish:
      RunFinishStep();
      return;

    case WizardStep::kFailure:
      ShowItem(IDC_PROGRESS, false);
      SetItemText(IDC_STATUS, kFailurePage.status);
      RefreshControl(IDC_STATUS);
      EnableItem(IDC_NEXT, true);
      SetItemText(IDC_NEXT, kFailurePage.next);
      ShowItem(IDC_BACK, false);
      FocusItem(IDC_NEXT);
      return;

    case WizardStep::kLeaveAfterFailure:
      EndDialog(kIdCancel);
      return;

    default:  // no such step
      return;
  }
}

void CVornellDlg::RunInstallStep() {
  InstallerState& s = installerState;
  ShowItem(IDC_PROGRESS, true);
  ParkFocus();
  EnableItem(IDC_NEXT, false);
  EnableItem(IDC_BACK, false);
  SetItemText(IDC_STATUS, kInstallPage.status);
  RefreshControl(IDC_STATUS);
  RefreshControl(IDC_LICENSE_HEADING);

  const bool haveDriverDirectory = FetchPrinterDriverDirectory(s.printerDriverDirectory);

  // One step for the check, one per package file staged, the last on
  // success: 10 for the eight files, one more for the catalog.
  const auto steps = static_cast<std::uint16_t>(s.packageManifest.size() + 2);
  SendItemMessage(IDC_PROGRESS, kPbmSetRange, 0, MakeLong(0, steps));
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

  // Only the checked copy is installed; without the directory nothing is
  // staged, which counts as a failed copy. One step of the bar per file,
  // copied or kept.
  const StagingProgress stepTheBar = [this](const std::string&, StagedFile) {
    SendItemMessage(IDC_PROGRESS, kPbmStepIt, 0, 0);
  };
  const char* refusal = nullptr;
  std::string refusedFile;
  if (!haveDriverDirectory) {
    refusal = kCopyFailed;
  } else if (!CopyPackage(refusedFile)) {
    refusal = refusedFile.empty() ? kCopyFailed : kPackageDamaged;
  } else if (!StageDriverFiles(stepTheBar)) {
    refusal = kCopyFailed;
  }
  if (refusal != nullptr) {
    RefreshControl(IDC_LICENSE_HEADING);
    DiscardQueuedInput();
    if (ShowMessageBox(refusal + refusedFile, kErrorCaption, kMbYesNo) == kIdYes) {
      EndDialog(kIdCancel);
    }
    return;
  }

  DiscardQueuedInput();

  // The workers' pauses are the wizard's.
  WorkerSettings settings = kWizardWorkers;
  // A worker that did not start, or whose end was not seen, leaves no result
  // to trust; the second worker is not started while the first may still run.
  bool workersEnded = true;
  switch (s.connectionType) {
    case kUsb:
      s.expectedPrinterName = s.printerName;
      workersEnded = WaitForWorker(&UsbInstallThread, &settings) == WorkerWait::kEnded;
      break;
    case kParallelPort:
      s.expectedPrinterName = s.lptPrinterName;
      workersEnded = WaitForWorker(&ParallelInstallThread, &settings) == WorkerWait::kEnded;
      break;
    default:
      s.workerStatus = -1;
      break;
  }
  if (workersEnded) {
    workersEnded = WaitForWorker(&PrinterWaitThread, &settings) == WorkerWait::kEnded;
  }

  if (workersEnded && IsInstallSuccess(s.workerStatus)) {
    SendItemMessage(IDC_PROGRESS, kPbmSetPos, s.packageManifest.size() + 2);
    // For removal from Apps & features; the printer works without it, so
    // the page stays a success and the log tells a failure.
    RecordInstallation(s.expectedPrinterName, VORNELL_VERSION_TEXT);
    s.step = WizardStep::kSuccess;
  } else {
    // Only while the workers are known to have ended: one may still read it.
    if (workersEnded) DiscardPackageCopy(packageCopy);
    s.step = WizardStep::kFailure;
  }
  RunStep();
  // The failure page alone would not say that nothing on this machine can
  // install the package as it is signed.
  const std::string refused = s.step == WizardStep::kFailure ? RefusalText(settings.updateError) : std::string();
  if (!refused.empty()) {
    DiscardQueuedInput();
    ShowMessageBox(refused, kErrorCaption, kMbOk | kMbIconError);
  }
}

bool CVornellDlg::CopyPackage(std::string& refusedFile) {
  Log& log = GetLog();
  // An unattended run may be writing the same copy.
  if (!TakeInstallLock()) {
    log.Write("another Vornell is installing; the package is not copied");
    return false;
  }
  packageCopy = CopyVerifiedPackage([&log](const std::string& line) { log.Write(line); });
  log.Write(packageCopy.outcome == PackageCopyOutcome::kReady ? LogLevel::kInfo : LogLevel::kError,
            PackageCopyText(packageCopy));
  if (packageCopy.outcome == PackageCopyOutcome::kDiffers) refusedFile = packageCopy.file;
  return packageCopy.outcome == PackageCopyOutcome::kReady;
}

void CVornellDlg::ProbeUsbPrinterAndSay() {
  if (ProbeUsbPrinter() == UsbProbeResult::kRefused) {
    AppMessageBox(kDeviceSetRefused, kMbOk | kMbIconWarning);
  }
}

void CVornellDlg::ParkFocus() {
  if (ItemHasFocus(IDC_NEXT) || ItemHasFocus(IDC_BACK)) FocusDialog();
}

void CVornellDlg::RunFinishStep() {
  const InstallerState& s = installerState;
  GetProcessCalls().Sleep(kFinishPause);
  const std::string& queue = s.connectionType == kUsb ? s.printerName : s.lptPrinterName;
  // Started one after the other and not awaited; their outcome is not reported.
  if (SendItemMessage(IDC_SET_DEFAULT, kBmGetCheck) != 0) {
    GetSpooler().StartRundll32(BuildPrinterCommandArguments(kMakeDefault, queue));
  }
  if (SendItemMessage(IDC_TEST_PAGE, kBmGetCheck) != 0) {
    GetSpooler().StartRundll32(BuildPrinterCommandArguments(kPrintTestPage, queue));
  }
  EndDialog(kIdCancel);
}

}  // namespace vornell
