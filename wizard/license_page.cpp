#include "engine/installer_state.h"
#include "wizard/license_text.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

void CVornellDlg::ShowLicenseText() {
  // Replacing the whole text puts the caret and the view back at its start.
  SetRichEditText(IDC_LICENSE, ComposeLicenseText(installerState.lineBreak));
  UpdateWindow();
}

}  // namespace vornell
