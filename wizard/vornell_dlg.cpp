// The wizard window: construction, initialisation, message map, system menu,
// painting and control colours. The step machine is in run_step.cpp, the
// buttons in navigation.cpp.
#include "wizard/vornell_dlg.h"

#include "engine/engine.h"

#include "framework/startup_marks.h"
#include "platform/log.h"
#include "wizard/about_dlg.h"
#include "platform/usb_devices.h"
#include "engine/installer_state.h"
#include "wizard/paint_rules.h"

namespace vornell {

namespace {

constexpr ColorRef kLicenseBoxBackground = 0x00FFB464;  // red 100, green 180, blue 255
constexpr unsigned kAboutCommandMask = 0xFFF0;          // the system keeps the low four bits

// Heights are given for 96 DPI; the program is DPI-aware, so it scales them
// itself, rounded as MulDiv rounds.
FontSpec HeaderFont(int height, const char* face, unsigned dpi) {
  FontSpec font;
  font.height = static_cast<int>((static_cast<long long>(height) * dpi + 48) / 96);
  font.weight = 400;            // FW_NORMAL
  font.charSet = 0;             // ANSI_CHARSET
  font.pitchAndFamily = 0x20;   // FF_SWISS | DEFAULT_PITCH
  font.face = face;
  return font;
}

}  // namespace

BEGIN_MESSAGE_MAP(CVornellDlg, Dialog)
  ON_WM_SYSCOMMAND()
  ON_WM_PAINT()
  ON_WM_QUERYDRAGICON()
  ON_BN_CLICKED(IDC_NEXT, OnNext)
  ON_BN_CLICKED(IDC_BACK, OnBack)
  ON_WM_CTLCOLOR()
  ON_BN_CLICKED(IDC_EXIT, OnExit)
  ON_BN_CLICKED(IDC_PARALLEL, OnParallelSelected)
  ON_BN_CLICKED(IDC_USB, OnUsbSelected)
  ON_WM_SYSCOLORCHANGE()
  ON_WM_SETTINGCHANGE()
  ON_WM_DEVICECHANGE()
  ON_WM_TIMER()
END_MESSAGE_MAP()

CVornellDlg::CVornellDlg(int templateId) : Dialog(templateId) {
  // Loaded before the window exists and never released: the process owns it.
  appIcon = LoadResourceIcon(IDR_MAINFRAME);
}

CVornellDlg::~CVornellDlg() {
  // The window has ended: the system is to send it nothing more.
  if (usbNotification != nullptr) GetUsbDevices().UnregisterUsbDeviceNotification(usbNotification);
  if (licenseBrush != nullptr) DeleteBrush(licenseBrush);
}

bool CVornellDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  highContrast = HighContrastOn();

  if (void* menu = GetSystemMenu(false); menu != nullptr) {
    const std::string about = LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
      AppendMenuItem(menu, kMfSeparator, 0, std::string());
      AppendMenuItem(menu, kMfString, IDM_ABOUTBOX, about);
    }
  }

  SendMessageToSelf(msg::kSetIcon, kIconBig, reinterpret_cast<LParam>(appIcon));
  SendMessageToSelf(msg::kSetIcon, kIconSmall, reinterpret_cast<LParam>(appIcon));

  // Answered on the retry page only (OnDeviceChange).
  usbNotification = GetUsbDevices().RegisterUsbDeviceNotification(GetSafeHwnd());

  DescribeDriverPackage();

  // The fonts live as long as the process.
  const unsigned dpi = WindowDpi();
  const FontHandle headerFont = CreateFontFrom(HeaderFont(23, "微软雅黑", dpi));
  const FontHandle welcomeFont = CreateFontFrom(HeaderFont(18, "仿宋", dpi));
  SendItemMessage(IDC_MODEL, msg::kSetFont, reinterpret_cast<WParam>(headerFont), 1);
  SendItemMessage(IDC_WELCOME, msg::kSetFont, reinterpret_cast<WParam>(welcomeFont), 1);

  SetItemText(IDC_MODEL, installerState.headerText);
  FitHeaderLine(IDC_MODEL);
  FitHeaderLine(IDC_WELCOME);
  ShowItem(IDC_SET_DEFAULT, false);
  ShowItem(IDC_TEST_PAGE, false);
  MarkStartup("window set up");

  RunStep();
  MarkStartup("license page");
  return true;
}

void CVornellDlg::OnSysCommand(unsigned id, LParam param) {
  if ((id & kAboutCommandMask) == IDM_ABOUTBOX) {
    CAboutDlg about;
    ++modalDepth;
    about.DoModal();
    --modalDepth;
  } else {
    Default(msg::kSysCommand, id, param);
  }
}

IconHandle CVornellDlg::OnQueryDragIcon() { return appIcon; }

void CVornellDlg::FitHeaderLine(int id) {
  // The header lines end at the dialog's edge. Their fonts follow the DPI,
  // the dialog units only roughly, so at some DPIs a line needs more room
  // than its control has: it then starts that much further left.
  const Rect line = GetItemClientRect(id);
  const int need = ItemTextWidth(id);
  if (need > line.Width()) MoveItem(id, Rect{line.right - need, line.top, line.right, line.bottom});
}

void CVornellDlg::OnPaint() {
  PaintScope paint(*this);
  if (IsIconic()) {
    SendMessageToSelf(msg::kIconEraseBkgnd, reinterpret_cast<WParam>(paint.dc()), 0);
    int iconWidth = 0;
    int iconHeight = 0;
    SystemIconSize(iconWidth, iconHeight);
    const Rect client = GetClientRect();
    const IconPoint at = IconPosition(client.Width(), client.Height(), iconWidth, iconHeight);
    DrawIconAt(paint.dc(), at.x, at.y, appIcon);
  } else if (highContrast) {
    // No picture behind text: the user's own colours, as every other window has them.
    FillClientWithSysColor(paint.dc(), kColorWindow);
  } else {
    PaintStretchedBitmap(paint.dc(), IDB_BACKGROUND);
  }
  if (!startupLogged) {
    startupLogged = true;
    MarkStartup("first paint");
    GetLog().Write("start-up, ms since the process was created", TakeStartupMarks());
  }
}

void CVornellDlg::OnSysColorChange() {
  highContrast = HighContrastOn();
  // Made again in the new face colour when next asked for.
  if (licenseBrush != nullptr) DeleteBrush(licenseBrush);
  licenseBrush = nullptr;
  SendToEveryItem(msg::kSysColorChange);
  RedrawAll();
}

void CVornellDlg::OnSettingChange(unsigned /*action*/) {
  // Which setting changed matters less than whether high contrast did.
  const bool now = HighContrastOn();
  if (now == highContrast) return;
  highContrast = now;
  RedrawAll();
}

BrushHandle CVornellDlg::OnCtlColor(const CtlColorRequest& request) {
  const BrushHandle baseBrush = Dialog::OnCtlColor(request);
  switch (ColorRuleFor(ControlId(request.control), highContrast)) {
    case ColorRule::kLicenseBox:
      SetDcBkColor(request.dc, kLicenseBoxBackground);
      if (licenseBrush == nullptr) licenseBrush = CreateSysColorBrush(kColorBtnFace);
      return licenseBrush;
    case ColorRule::kTransparentBackground:
      SetDcBkMode(request.dc, kTransparent);
      return StockHollowBrush();
    case ColorRule::kSystemColors:
      SetDcTextColor(request.dc, SysColor(kColorWindowText));
      SetDcBkColor(request.dc, SysColor(kColorWindow));
      return SysColorBrush(kColorWindow);
    case ColorRule::kDefault:
      break;
  }
  return baseBrush;
}

void CVornellDlg::RefreshControl(int id) {
  InvalidateRect(GetItemClientRect(id), true);
  UpdateWindow();
}

}  // namespace vornell
