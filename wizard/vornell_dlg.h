#pragma once
// The wizard window: one dialog (template 102) whose controls are shown,
// hidden and relabelled to form the pages. RunStep puts the window into the
// page of installerState.step and runs that step's work.
#include "engine/engine.h"
#include "framework/dialog.h"
#include "res/resource.h"

namespace vornell {

class CVornellDlg : public Dialog {
 public:
  explicit CVornellDlg(int templateId = IDD_VORNELL_DIALOG);
  ~CVornellDlg() override;

  // The step machine (steps 0 to 8; any other step does nothing).
  void RunStep();
  // Repaints the dialog's picture under a transparent control whose text or
  // visibility just changed, at once.
  void RefreshControl(int id);
  // Puts the whole license text into the license box and repaints.
  void ShowLicenseText();

  // Message handlers.
  void OnSysCommand(unsigned id, LParam param);
  void OnPaint();
  IconHandle OnQueryDragIcon();
  void OnNext();
  void OnBack();
  void OnExit();
  void OnUsbSelected();
  void OnParallelSelected();
  BrushHandle OnCtlColor(const CtlColorRequest& request) override;
  // High contrast switched, or the colours changed: paint anew in the new ones.
  void OnSysColorChange();
  void OnSettingChange(unsigned action);
  // The printer plugged in while the retry page shows: a retry, once the
  // arrivals have settled.
  void OnDeviceChange(unsigned event, LParam data);
  void OnTimer(unsigned id);

  IconHandle AppIcon() const { return appIcon; }

 protected:
  bool OnInitDialog() override;

  DECLARE_MESSAGE_MAP()

 private:
  void RunInstallStep();
  // The checked copy of the package; false with the file that differed
  // (empty when the copy failed otherwise).
  bool CopyPackage(std::string& refusedFile);
  void RunFinishStep();
  // Yes to "leave the installation?".
  bool ConfirmExit();
  // The USB probe; a refused device list is said in the application's box.
  void ProbeUsbPrinterAndSay();
  // Takes the focus off Next and Back before they are disabled, which would
  // leave it nowhere.
  void ParkFocus();
  // Gives a header line the room its text needs on one line, to its left.
  void FitHeaderLine(int id);

  IconHandle appIcon = nullptr;
  // Created on the first colour request of the license box, deleted with the dialog.
  BrushHandle licenseBrush = nullptr;
  // The user's high-contrast setting: system colours, and no picture behind text.
  bool highContrast = false;
  // The start-up marks go to the log once, after the first paint.
  bool startupLogged = false;
  PackageCopyResult packageCopy;
  void* usbNotification = nullptr;
  // Boxes and windows of ours open over the wizard: a timer's retry waits for them.
  int modalDepth = 0;
};

}  // namespace vornell
