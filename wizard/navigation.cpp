// The buttons of the wizard. They change the step and leave the rest to
// RunStep; the page on screen decides which of them can be clicked.
#include <string>

#include "engine/engine.h"
#include "engine/installer_state.h"
#include "platform/log.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

namespace {

constexpr unsigned kArrivalTimer = 1;
// Windows announces a plugged-in printer several times over (the device,
// then its interfaces) while it sets the device up: one retry after the last.
constexpr unsigned kArrivalSettleMs = 1000;

bool OnRetryPage() {
  return installerState.step == WizardStep::kLeaveLicense && installerState.connectionRetry != 0;
}

}  // namespace

bool CVornellDlg::ConfirmExit() {
  ++modalDepth;
  const bool yes = ShowMessageBox("打印机驱动还没有完成安装，确定要退出安装？请选择:", "安装提示",
                                  kMbYesNo) == kIdYes;
  --modalDepth;
  return yes;
}

void CVornellDlg::OnDeviceChange(unsigned event, LParam data) {
  std::string path;
  if (event != kDbtDeviceArrival || !OnRetryPage() || !DeviceInterfacePath(data, path)) return;
  if (!UsbPathMatches(path, installerState.usbMatchId)) return;
  GetLog().Write("the printer was plugged in", path);
  StartTimer(kArrivalTimer, kArrivalSettleMs);
}

void CVornellDlg::OnTimer(unsigned id) {
  if (id != kArrivalTimer) return;
  // A question or the about box is open: try again when the timer comes round.
  if (modalDepth != 0) return;
  StopTimer(kArrivalTimer);
  // As the retry button would, and only where it could be clicked.
  if (OnRetryPage() && IsItemVisible(IDC_NEXT) && IsItemEnabled(IDC_NEXT)) OnNext();
}

void CVornellDlg::OnNext() {
  installerState.step = StepAfter(installerState.step);
  RunStep();
}

void CVornellDlg::OnBack() {
  InstallerState& s = installerState;
  if (s.step == WizardStep::kLicense) {
    if (ConfirmExit()) {
      EndDialog(kIdCancel);
    } else {
      RunStep();  // the license page afresh
    }
  } else if (s.step == WizardStep::kConnectionCheck) {
    // Straight back to the license page: step 2 would move on to the probe.
    s.step = WizardStep::kLicense;
    RunStep();
  } else {
    s.step = StepBefore(s.step);
    RunStep();
  }
}

void CVornellDlg::OnExit() {
  InstallerState& s = installerState;
  if (s.step == WizardStep::kStart) {
    s.step = WizardStep::kLicense;
    RunStep();
  } else if (s.step < WizardStep::kConnectionCheck) {
    if (ConfirmExit()) EndDialog(kIdCancel);
  } else {
    EndDialog(kIdCancel);
  }
}

void CVornellDlg::OnUsbSelected() {
  installerState.printerDetected = 0;
  ProbeUsbPrinterAndSay();
}

void CVornellDlg::OnParallelSelected() { installerState.printerDetected = 1; }

}  // namespace vornell
