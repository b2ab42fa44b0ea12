#include "app/vornell_app.h"

#include "res/resource.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

namespace {
constexpr unsigned kWin95Classes = 0xFF;  // ICC_WIN95_CLASSES
constexpr unsigned kRestartOnly = 1;      // no data recovery, no autosave
}  // namespace

CVornellApp theApp;

CVornellApp::CVornellApp() { restartManagerSupport = kRestartOnly; }

const AppCommandEntry* CVornellApp::CommandMap() const {
  static const AppCommandEntry entries[] = {{kIdHelp, &App::OnHelp}, {0, nullptr}};
  return entries;
}

bool CVornellApp::InitInstance() {
  InitCommonControls(kWin95Classes);
  // The license box is a "RichEdit20A" control; without its class the
  // dialog cannot be created. The result is not examined: there is no
  // better page to show than the dialog itself.
  InitRichEdit();

  CVornellDlg dialog(IDD_VORNELL_DIALOG);
  mainWindow = &dialog;
  // Every way out of the window leads to the same teardown.
  dialog.DoModal();
  mainWindow = nullptr;  // the dialog dies with this scope
  return false;
}

}  // namespace vornell
