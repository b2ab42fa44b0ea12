#pragma once
// The about box: template 100, nothing of its own. Its OK button, Escape and
// the close box end it through the default processing.
#include "framework/dialog.h"
#include "res/resource.h"

namespace vornell {

class CAboutDlg : public Dialog {
 public:
  CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

  DECLARE_MESSAGE_MAP()
};

}  // namespace vornell
