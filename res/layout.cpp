#include "res/layout.h"

#include <array>

#include "res/resource.h"

namespace vornell {

namespace {

constexpr std::uint32_t kButton = 0x50010000;    // WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_PUSHBUTTON
constexpr std::uint32_t kLabel = 0x50020000;     // WS_CHILD|WS_VISIBLE|WS_GROUP|SS_LEFT
// One line, never wrapped: the model name scales with the DPI, the dialog units
// only roughly, and a wrapped second half would be cut off below.
constexpr std::uint32_t kOneLineLabel = 0x5002000C;  // WS_CHILD|WS_VISIBLE|WS_GROUP|SS_LEFTNOWORDWRAP
// Stretched to the control, so the picture grows with the dialog at any DPI.
constexpr std::uint32_t kPicture = 0x5000004E;   // WS_CHILD|WS_VISIBLE|SS_BITMAP|SS_REALSIZECONTROL
constexpr std::uint32_t kProgress = 0x50800000;  // WS_CHILD|WS_VISIBLE|WS_BORDER
constexpr std::uint32_t kGroup = 0x50000007;     // WS_CHILD|WS_VISIBLE|BS_GROUPBOX
constexpr std::uint32_t kRadio = 0x50000009;     // WS_CHILD|WS_VISIBLE|BS_AUTORADIOBUTTON
constexpr std::uint32_t kCheck = 0x50010003;     // WS_CHILD|WS_VISIBLE|WS_TABSTOP|BS_AUTOCHECKBOX
constexpr std::uint32_t kRich = 0x50B100C4;      // multi-line, auto scroll, both bars, border, tab stop
// Never shown: a screen reader names a box without text of its own after the
// static text just before it in the tab order, visible or not. Without it,
// that would be the status line; no group, so arrow keys go on as before.
constexpr std::uint32_t kHiddenName = 0x40000000;  // WS_CHILD|SS_LEFT

const std::array kMainControls = {
    ControlLayout{IDC_NEXT, ControlKind::kPushButton, "Button", kButton, 271, 176, 32, 14, "下一步", 0},
    ControlLayout{IDC_BACK, ControlKind::kPushButton, "Button", kButton, 224, 176, 32, 14, "返回", 0},
    ControlLayout{IDC_EXIT, ControlKind::kPushButton, "Button", kButton, 177, 176, 32, 14, "退出", 0},
    ControlLayout{IDC_QUESTION, ControlKind::kStatic, "Static", kLabel, 17, 148, 156, 13,
                  "是否接受以上条款？选择“否”，程序将退出安装。", 0},
    ControlLayout{IDC_LICENSE_HEADING, ControlKind::kStatic, "Static", kLabel, 20, 49, 112, 8,
                  "安装前请阅读以下内容", 0},
    ControlLayout{IDC_PICTURE, ControlKind::kPicture, "Static", kPicture, 74, 89, 37, 38, "", IDB_PRINTER},
    ControlLayout{IDC_PROGRESS, ControlKind::kProgress, "msctls_progress32", kProgress, 11, 162, 295, 8, "", 0},
    ControlLayout{IDC_MODEL, ControlKind::kStatic, "Static", kOneLineLabel, 223, 6, 97, 17, "VT-250", 0},
    ControlLayout{IDC_CONNECTION_GROUP, ControlKind::kGroupBox, "Button", kGroup, 116, 87, 123, 40, "连接方式", 0},
    ControlLayout{IDC_USB, ControlKind::kRadio, "Button", kRadio, 134, 105, 29, 10, "USB", 0},
    ControlLayout{IDC_PARALLEL, ControlKind::kRadio, "Button", kRadio, 189, 106, 30, 10, "并口", 0},
    ControlLayout{IDC_WELCOME, ControlKind::kStatic, "Static", kLabel, 217, 46, 99, 14, "欢迎使用Orvane打印机", 0},
    ControlLayout{IDC_LOGO, ControlKind::kPicture, "Static", kPicture, 16, 13, 76, 25, "", IDB_LOGO},
    ControlLayout{IDC_STATUS, ControlKind::kStatic, "Static", kLabel, 34, 67, 151, 13, "提示：请检查打印机是否连接", 0},
    ControlLayout{IDC_SET_DEFAULT, ControlKind::kCheckBox, "Button", kCheck, 34, 97, 71, 10, "设置为默认打印机", 0},
    ControlLayout{IDC_TEST_PAGE, ControlKind::kCheckBox, "Button", kCheck, 34, 125, 50, 10, "打印测试页", 0},
    ControlLayout{IDC_LICENSE_NAME, ControlKind::kStatic, "Static", kHiddenName, 20, 49, 112, 8,
                  "安装前请阅读以下内容", 0},
    ControlLayout{IDC_LICENSE, ControlKind::kRichEdit, "RichEdit20A", kRich, 20, 61, 276, 95, "", 0},
};

const std::array kAboutControls = {
    ControlLayout{-1, ControlKind::kIcon, "Static", 0x50000003, 14, 14, 21, 20, "", IDR_MAINFRAME},
    ControlLayout{-1, ControlKind::kStatic, "Static", 0x50020080, 42, 14, 114, 8, "Vornell，1.0 版", 0},
    // Two lines: on one the rights line is cut off at any DPI.
    ControlLayout{-1, ControlKind::kStatic, "Static", 0x50020000, 42, 26, 114, 16,
                  "版权所有 (C) 2026 Orvane 保留所有权利", 0},
    ControlLayout{1, ControlKind::kPushButton, "Button", 0x50030001, 113, 49, 50, 14, "确定", 0},
};

}  // namespace

const DialogLayout& MainDialogLayout() {
  // WS_POPUP|WS_VISIBLE|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT|DS_FIXEDSYS
  static const DialogLayout layout{IDD_VORNELL_DIALOG, 0x90C800C8, 0x00040000, 0, 0, 320, 200,
                                   "Orvane打印机安装程序", "MS Shell Dlg", 9, kMainControls};
  return layout;
}

const DialogLayout& AboutDialogLayout() {
  // WS_POPUP|WS_CAPTION|WS_SYSMENU|DS_MODALFRAME|DS_SETFONT|DS_FIXEDSYS, not visible
  static const DialogLayout layout{IDD_ABOUTBOX, 0x80C800C8, 0, 0, 0, 170, 70, "关于 Vornell",
                                   "MS Shell Dlg", 9, kAboutControls};
  return layout;
}

const DialogLayout* FindDialogLayout(int templateId) {
  if (templateId == IDD_VORNELL_DIALOG) return &MainDialogLayout();
  if (templateId == IDD_ABOUTBOX) return &AboutDialogLayout();
  return nullptr;
}

}  // namespace vornell
