#include "wizard/about_dlg.h"

namespace vornell {

// The map is empty on purpose, so the macro's class alias goes unused.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-local-typedefs"
BEGIN_MESSAGE_MAP(CAboutDlg, Dialog)
END_MESSAGE_MAP()
#pragma GCC diagnostic pop

}  // namespace vornell
