// The buttons of the wizard. They change the step and leave the rest to
// RunStep; the page on screen decides which of them can be clicked.
#include "engine/engine.h"
#include "engine/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

bool CVornellDlg::ConfirmExit() {
  return ShowMessageBox("打印机驱动还没有完成安装，确定要退出安装？请选择:", "安装提示",
                        kMbYesNo) == kIdYes;
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
