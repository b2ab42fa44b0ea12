#pragma once
// The window-system numbers the program uses, as plain constants, so that the
// wizard and the engine never need <windows.h>. Values are the Win32 ones.
#include <cstdint>

namespace vornell {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Opaque handles; the win32 half casts them to HWND, HDC, HICON, HFONT, HBRUSH.
using WindowHandle = void*;
using DcHandle = void*;
using IconHandle = void*;
using FontHandle = void*;
using BrushHandle = void*;

using ColorRef = std::uint32_t;  // 0x00BBGGRR

namespace msg {
constexpr unsigned kPaint = 0x000F;
constexpr unsigned kClose = 0x0010;
constexpr unsigned kSysColorChange = 0x0015;
constexpr unsigned kSettingChange = 0x001A;
constexpr unsigned kQueryDragIcon = 0x0037;
constexpr unsigned kIconEraseBkgnd = 0x0027;
constexpr unsigned kSetFont = 0x0030;
constexpr unsigned kSetIcon = 0x0080;
constexpr unsigned kInitDialog = 0x0110;
constexpr unsigned kCommand = 0x0111;
constexpr unsigned kSysCommand = 0x0112;
constexpr unsigned kCtlColorMsgBox = 0x0132;
constexpr unsigned kCtlColorEdit = 0x0133;
constexpr unsigned kCtlColorListBox = 0x0134;
constexpr unsigned kCtlColorBtn = 0x0135;
constexpr unsigned kCtlColorDlg = 0x0136;
constexpr unsigned kCtlColorScrollBar = 0x0137;
constexpr unsigned kCtlColorStatic = 0x0138;
constexpr unsigned kTimer = 0x0113;
constexpr unsigned kDeviceChange = 0x0219;
constexpr unsigned kNull = 0x0000;
}  // namespace msg

constexpr unsigned kBnClicked = 0;

// WM_DEVICECHANGE's event for a device or interface that has just arrived.
constexpr unsigned kDbtDeviceArrival = 0x8000;

// Progress bar and button messages.
constexpr unsigned kPbmSetRange = 0x0401;
constexpr unsigned kPbmSetPos = 0x0402;
constexpr unsigned kPbmSetStep = 0x0404;
constexpr unsigned kPbmStepIt = 0x0405;
constexpr unsigned kPbmGetPos = 0x0408;
constexpr unsigned kBmGetCheck = 0x00F0;
constexpr unsigned kBmSetCheck = 0x00F1;
constexpr WParam kBstUnchecked = 0;
constexpr WParam kBstChecked = 1;

// Message boxes.
constexpr unsigned kMbOk = 0x0000;
constexpr unsigned kMbYesNo = 0x0004;
constexpr unsigned kMbIconError = 0x0010;
constexpr unsigned kMbIconQuestion = 0x0020;
constexpr unsigned kMbIconWarning = 0x0030;
constexpr unsigned kMbIconInformation = 0x0040;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// System menu and icons.
constexpr unsigned kMfString = 0x0000;
constexpr unsigned kMfSeparator = 0x0800;
constexpr WParam kIconSmall = 0;
constexpr WParam kIconBig = 1;

// Drawing.
constexpr int kTransparent = 1;
constexpr int kColorWindow = 5;
constexpr int kColorWindowText = 8;
constexpr int kColorBtnFace = 15;

// SystemParametersInfo's action when high contrast is switched (WM_SETTINGCHANGE).
constexpr unsigned kSpiSetHighContrast = 0x0043;

constexpr int MakeLong(int low, int high) {
  return static_cast<int>((static_cast<unsigned>(low) & 0xFFFFu) |
                          ((static_cast<unsigned>(high) & 0xFFFFu) << 16));
}

}  // namespace vornell
