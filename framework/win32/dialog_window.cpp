// The modal dialog itself: creation from the template, the dialog procedure
// that feeds the message map, centring, and the end of the dialog.
#include "framework/win32/dialog_impl.h"

#include "framework/app.h"
#include "framework/startup_marks.h"

namespace vornell {

namespace {

// Messages whose answer the dialog procedure returns itself instead of
// through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

RECT WorkAreaNear(HWND hwnd) {
  RECT area{};
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (::GetMonitorInfoW(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info)) {
    area = info.rcWork;
  } else {
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  return area;
}

// A template at (0, 0) without DS_CENTER opens at the screen's corner, so the
// window centres itself: on a visible owner, otherwise in the work area.
void CentreWindow(HWND hwnd, HWND owner) {
  RECT window{};
  if (!::GetWindowRect(hwnd, &window)) return;
  const RECT area = WorkAreaNear(owner != nullptr ? owner : hwnd);
  RECT around = area;
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &around);
  }
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  LONG x = around.left + (around.right - around.left - width) / 2;
  LONG y = around.top + (around.bottom - around.top - height) / 2;
  // Keep the whole window, title bar first, on the screen.
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

Dialog::Dialog(int templateId) : templateId_(templateId), impl_(std::make_unique<Impl>()) {}

Dialog::~Dialog() = default;

WindowHandle Dialog::GetSafeHwnd() const { return impl_->hwnd; }

std::intptr_t Dialog::DoModal() {
  // A dialog opened while the main window runs (the about box) belongs to it.
  HWND owner = nullptr;
  if (App* app = App::Current(); app != nullptr && app->mainWindow != nullptr &&
                                 app->mainWindow != this) {
    owner = win32::WindowOf(*app->mainWindow);
  }
  const INT_PTR result =
      ::DialogBoxParamW(win32::ProgramModule(), MAKEINTRESOURCEW(templateId_), owner,
                        &Impl::DialogProc, reinterpret_cast<LPARAM>(this));
  impl_->hwnd = nullptr;
  return result;
}

void Dialog::EndDialog(std::intptr_t result) {
  if (impl_->hwnd != nullptr) ::EndDialog(impl_->hwnd, result);
}

void Dialog::StartTimer(unsigned id, unsigned ms) {
  if (impl_->hwnd != nullptr) ::SetTimer(impl_->hwnd, id, ms, nullptr);
}

void Dialog::StopTimer(unsigned id) {
  if (impl_->hwnd != nullptr) ::KillTimer(impl_->hwnd, id);
}

LResult Dialog::Default(unsigned message, WParam w, LParam l) {
  return ::DefWindowProcW(impl_->hwnd, message, w, l);
}

BrushHandle Dialog::OnCtlColor(const CtlColorRequest& request) {
  // What the window system answers by itself: the system's colours and brush.
  return reinterpret_cast<BrushHandle>(::DefWindowProcW(
      impl_->hwnd, request.message, reinterpret_cast<WPARAM>(request.dc),
      reinterpret_cast<LPARAM>(request.control)));
}

INT_PTR CALLBACK Dialog::Impl::DialogProc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_INITDIALOG) {
    MarkStartup("window and controls");
    auto* dialog = reinterpret_cast<Dialog*>(l);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, l);
    dialog->impl_->hwnd = hwnd;
    CentreWindow(hwnd, ::GetWindow(hwnd, GW_OWNER));
    return dialog->CallOnInitDialog() ? TRUE : FALSE;
  }

  auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  // Messages before WM_INITDIALOG (WM_SETFONT and the like) have no object yet.
  if (dialog == nullptr) return FALSE;

  LResult result = 0;
  const bool routed = dialog->RouteMessage(message, w, l, result);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    dialog->impl_->hwnd = nullptr;
  }
  if (!routed) return FALSE;
  if (AnswersDirectly(message)) return result;
  ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace vornell
