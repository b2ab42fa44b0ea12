// Painting and control-colour primitives of the dialog.
#include "framework/win32/dialog_impl.h"

#include <cstdlib>

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

namespace {

// A bitmap resource as the program's image holds it: the header and the
// pixels, read in place, with nothing loaded or converted.
struct PackedBitmap {
  const BITMAPINFO* info = nullptr;
  const void* bits = nullptr;
};

PackedBitmap FindPackedBitmap(int id) {
  PackedBitmap found;
  HRSRC resource = ::FindResourceW(win32::ProgramModule(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));  // RT_BITMAP
  HGLOBAL loaded = resource != nullptr ? ::LoadResource(win32::ProgramModule(), resource) : nullptr;
  const auto* info = static_cast<const BITMAPINFO*>(loaded != nullptr ? ::LockResource(loaded) : nullptr);
  if (info == nullptr || ::SizeofResource(win32::ProgramModule(), resource) < sizeof(BITMAPINFOHEADER)) return found;
  const BITMAPINFOHEADER& header = info->bmiHeader;
  if (header.biSize < sizeof(BITMAPINFOHEADER) || header.biWidth <= 0 || header.biHeight == 0) return found;
  // The pixels follow the header and the colour table (or the three masks).
  DWORD colours = header.biClrUsed;
  if (colours == 0 && header.biBitCount <= 8) colours = 1u << header.biBitCount;
  if (header.biCompression == BI_BITFIELDS && header.biSize == sizeof(BITMAPINFOHEADER)) colours += 3;
  found.info = info;
  found.bits = reinterpret_cast<const BYTE*>(info) + header.biSize + colours * sizeof(RGBQUAD);
  return found;
}

// The picture stretched to `size` in a bitmap of the screen's kind; nullptr
// when it cannot be had.
HBITMAP StretchedCopy(HDC like, const PackedBitmap& picture, SIZE size) {
  if (picture.info == nullptr) return nullptr;
  HBITMAP copy = ::CreateCompatibleBitmap(like, size.cx, size.cy);
  HDC memory = copy != nullptr ? ::CreateCompatibleDC(like) : nullptr;
  if (memory == nullptr) {
    if (copy != nullptr) ::DeleteObject(copy);
    return nullptr;
  }
  HGDIOBJ previous = ::SelectObject(memory, copy);
  ::SetStretchBltMode(memory, COLORONCOLOR);
  const BITMAPINFOHEADER& header = picture.info->bmiHeader;
  ::StretchDIBits(memory, 0, 0, size.cx, size.cy, 0, 0, header.biWidth, std::abs(header.biHeight), picture.bits,
                  picture.info, DIB_RGB_COLORS, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
  return copy;
}

}  // namespace

void Dialog::PaintStretchedBitmap(DcHandle dc, int bitmapId) {
  RECT client{};
  if (impl_->hwnd == nullptr || !::GetClientRect(impl_->hwnd, &client)) return;
  const SIZE size{client.right - client.left, client.bottom - client.top};
  if (size.cx <= 0 || size.cy <= 0) return;
  Impl& w = *impl_;
  if (w.stretched == nullptr || w.stretchedId != bitmapId || w.stretchedSize.cx != size.cx ||
      w.stretchedSize.cy != size.cy) {
    if (w.stretched != nullptr) ::DeleteObject(w.stretched);
    w.stretched = StretchedCopy(Dc(dc), FindPackedBitmap(bitmapId), size);
    w.stretchedId = bitmapId;
    w.stretchedSize = size;
    if (w.stretched == nullptr) return;
  }
  HDC memory = ::CreateCompatibleDC(Dc(dc));
  if (memory == nullptr) return;
  HGDIOBJ previous = ::SelectObject(memory, w.stretched);
  ::BitBlt(Dc(dc), 0, 0, size.cx, size.cy, memory, 0, 0, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
}

void Dialog::FillClientWithSysColor(DcHandle dc, int sysColor) {
  RECT client{};
  if (impl_->hwnd == nullptr || !::GetClientRect(impl_->hwnd, &client)) return;
  ::FillRect(Dc(dc), &client, ::GetSysColorBrush(sysColor));
}

int Dialog::ControlId(WindowHandle control) const {
  return ::GetDlgCtrlID(static_cast<HWND>(control));
}

void Dialog::SetDcBkColor(DcHandle dc, ColorRef color) { ::SetBkColor(Dc(dc), color); }

void Dialog::SetDcBkMode(DcHandle dc, int mode) { ::SetBkMode(Dc(dc), mode); }

void Dialog::SetDcTextColor(DcHandle dc, ColorRef color) { ::SetTextColor(Dc(dc), color); }

ColorRef Dialog::SysColor(int sysColor) { return ::GetSysColor(sysColor); }

BrushHandle Dialog::SysColorBrush(int sysColor) { return ::GetSysColorBrush(sysColor); }

bool Dialog::HighContrastOn() {
  HIGHCONTRASTW settings{};
  settings.cbSize = sizeof settings;
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof settings, &settings, 0) &&
         (settings.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

BrushHandle Dialog::StockHollowBrush() { return ::GetStockObject(NULL_BRUSH); }

BrushHandle Dialog::CreateSysColorBrush(int sysColor) {
  // A brush of our own, unlike GetSysColorBrush's shared one, so DeleteBrush may free it.
  return ::CreateSolidBrush(::GetSysColor(sysColor));
}

void Dialog::DeleteBrush(BrushHandle brush) {
  if (brush != nullptr) ::DeleteObject(static_cast<HGDIOBJ>(brush));
}

}  // namespace vornell
