// The buttons of the wizard. They change the step and leave the rest to
// RunStep; the page on screen decides which of them can be clicked.
#include "engine/engine.h"
#include "wizard/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

bool CVornellDlg::ConfirmExit() {
  return ShowMessageBox("打印机驱动还没有完成安装，确定要退出安装？请选择:", "安装提示",
                        kMbYesNo) == kIdYes;
}

void CVornellDlg::OnNext() {
  ++installerState.step;
  RunStep();
}

void CVornellDlg::OnBack() {
  InstallerState& s = installerState;
  if (s.step == 1) {
    if (ConfirmExit()) {
      EndDialog(kIdCancel);
    } else {
      RunStep();  // the license page afresh
    }
  } else if (s.step == 3) {
    // Straight back to the license page: step 2 would move on to the probe.
    s.step = 1;
    RunStep();
  } else {
    --s.step;
    RunStep();
  }
}

void CVornellDlg::OnExit() {
  InstallerState& s = installerState;
  if (s.step == 0) {
    s.step = 1;
    RunStep();
  } else if (s.step < 3) {
    if (ConfirmExit()) EndDialog(kIdCancel);
  } else {
    EndDialog(kIdCancel);
  }
}

void CVornellDlg::OnUsbSelected() {
  installerState.printerDetected = 0;
  ProbeUsbPrinter(*this);
}

void CVornellDlg::OnParallelSelected() { installerState.printerDetected = 1; }

}  // namespace vornell
