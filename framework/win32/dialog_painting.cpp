// Painting and control-colour primitives of the dialog.
#include "framework/win32/dialog_impl.h"

namespace vornell {

namespace {
HDC Dc(DcHandle dc) { return static_cast<HDC>(dc); }
}  // namespace

Dialog::PaintScope::PaintScope(Dialog& dialog) : dialog_(dialog) {
  HWND hwnd = win32::WindowOf(dialog_);
  if (hwnd == nullptr) return;
  auto* paint = new PAINTSTRUCT{};
  dc_ = ::BeginPaint(hwnd, paint);
  state_ = paint;
}

Dialog::PaintScope::~PaintScope() {
  auto* paint = static_cast<PAINTSTRUCT*>(state_);
  if (paint == nullptr) return;
  // Ending the paint validates the window, whether or not anything was drawn.
  ::EndPaint(win32::WindowOf(dialog_), paint);
  delete paint;
}

void Dialog::SystemIconSize(int& width, int& height) {
  width = ::GetSystemMetrics(SM_CXICON);
  height = ::GetSystemMetrics(SM_CYICON);
}

void Dialog::DrawIconAt(DcHandle dc, int x, int y, IconHandle icon) {
  ::DrawIcon(Dc(dc), x, y, static_cast<HICON>(icon));
}

void Dialog::StretchBitmapResource(DcHandle dc, int bitmapId) {
  RECT client{};
  if (impl_->hwnd != nullptr) ::GetClientRect(impl_->hwnd, &client);

  HDC memory = ::CreateCompatibleDC(Dc(dc));
  if (memory == nullptr) return;
  // Loaded afresh at every paint and released at its end: nothing is cached.
  HBITMAP bitmap = static_cast<HBITMAP>(::LoadImageW(
      win32::ProgramModule(), MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  if (bitmap == nullptr) {
    ::DeleteDC(memory);
    return;
  }
  BITMAP info{};
  ::GetObjectW(bitmap, sizeof info, &info);

  ::SetStretchBltMode(Dc(dc), COLORONCOLOR);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::StretchBlt(Dc(dc), 0, 0, client.right - client.left, client.bottom - client.top, memory, 0,
               0, info.bmWidth, info.bmHeight, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
}

int Dialog::ControlId(WindowHandle control) const {
  return ::GetDlgCtrlID(static_cast<HWND>(control));
}

void Dialog::SetDcBkColor(DcHandle dc, ColorRef color) { ::SetBkColor(Dc(dc), color); }

void Dialog::SetDcBkMode(DcHandle dc, int mode) { ::SetBkMode(Dc(dc), mode); }

BrushHandle Dialog::StockHollowBrush() { return ::GetStockObject(NULL_BRUSH); }

BrushHandle Dialog::CreateSysColorBrush(int sysColor) {
  // A brush of our own, unlike GetSysColorBrush's shared one, so DeleteBrush may free it.
  return ::CreateSolidBrush(::GetSysColor(sysColor));
}

void Dialog::DeleteBrush(BrushHandle brush) {
  if (brush != nullptr) ::DeleteObject(static_cast<HGDIOBJ>(brush));
}

}  // namespace vornell
