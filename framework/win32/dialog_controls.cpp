// Controls by ID, the window's own state, the system menu, resources and
// message boxes. Texts cross the boundary as GBK and go in as UTF-16.
#include <richedit.h>

#include <utility>

#include "framework/app.h"
#include "framework/win32/dialog_impl.h"
#include "platform/win32/gbk_wide.h"

namespace vornell {


namespace {

HWND Item(const Dialog& dialog, int id) {
  HWND hwnd = win32::WindowOf(dialog);
  return hwnd != nullptr ? ::GetDlgItem(hwnd, id) : nullptr;
}

std::string WindowTextGbk(HWND hwnd) {
  if (hwnd == nullptr) return {};
  const int length = ::GetWindowTextLengthW(hwnd);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return LenientGbk(text);
}

}  // namespace

void Dialog::ShowItem(int id, bool show) {
  if (HWND item = Item(*this, id)) ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

bool Dialog::IsItemVisible(int id) const {
  HWND item = Item(*this, id);
  return item != nullptr && ::IsWindowVisible(item);
}

void Dialog::EnableItem(int id, bool enable) {
  if (HWND item = Item(*this, id)) ::EnableWindow(item, enable ? TRUE : FALSE);
}

bool Dialog::IsItemEnabled(int id) const {
  HWND item = Item(*this, id);
  return item != nullptr && ::IsWindowEnabled(item);
}

void Dialog::SetItemText(int id, const std::string& text) {
  if (impl_->hwnd == nullptr) return;
  ::SetDlgItemTextW(impl_->hwnd, id, LenientWide(text).c_str());
}

std::string Dialog::GetItemText(int id) const { return WindowTextGbk(Item(*this, id)); }

LResult Dialog::SendItemMessage(int id, unsigned message, WParam w, LParam l) {
  if (impl_->hwnd == nullptr) return 0;
  return ::SendDlgItemMessageW(impl_->hwnd, id, message, w, l);
}

void Dialog::SetRichEditText(int id, const std::string& text) {
  if (impl_->hwnd == nullptr) return;
  // The box takes the GBK bytes as they are: code page 936, whole text replaced.
  SETTEXTEX settings{};
  settings.flags = ST_DEFAULT;
  settings.codepage = 936;
  ::SendDlgItemMessageW(impl_->hwnd, id, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&settings),
                        reinterpret_cast<LPARAM>(text.c_str()));
  // A plain set-window-text leaves the caret and the view at the start of the
  // new text; Wine's EM_SETTEXTEX leaves them at its end. Put them back, so
  // the reader always starts at the top.
  ::SendDlgItemMessageW(impl_->hwnd, id, EM_SETSEL, 0, 0);
  ::SendDlgItemMessageW(impl_->hwnd, id, EM_SCROLLCARET, 0, 0);
}

bool Dialog::ItemHasFocus(int id) const {
  HWND item = Item(*this, id);
  return item != nullptr && ::GetFocus() == item;
}

void Dialog::FocusItem(int id) {
  if (HWND item = Item(*this, id)) {
    ::SendMessageW(impl_->hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
  }
}

void Dialog::FocusDialog() {
  // The dialog itself stays enabled, and with the focus on it the dialog
  // manager still answers Enter, Tab and Escape.
  if (impl_->hwnd != nullptr) {
    ::SendMessageW(impl_->hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(impl_->hwnd), TRUE);
  }
}

void Dialog::DiscardQueuedInput() {
  // Input only: the mouse in the window and on its frame (a click on the
  // close box), keys, and touch and pen as pointer messages (Windows 8 and
  // later), which would otherwise come back as mouse clicks. Posted
  // messages, paints and timers stay queued.
  static constexpr std::pair<UINT, UINT> kInput[] = {
      {WM_MOUSEFIRST, WM_MOUSELAST},
      {WM_KEYFIRST, WM_KEYLAST},
      {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
      {WM_NCPOINTERUPDATE, WM_NCPOINTERUP},
      {WM_POINTERUPDATE, WM_POINTERCAPTURECHANGED},
      {WM_POINTERWHEEL, WM_POINTERHWHEEL},
  };
  MSG message;
  for (const auto& [first, last] : kInput) {
    while (::PeekMessageW(&message, nullptr, first, last, PM_REMOVE)) {
    }
  }
}

LResult Dialog::SendMessageToSelf(unsigned message, WParam w, LParam l) {
  if (impl_->hwnd == nullptr) return 0;
  return ::SendMessageW(impl_->hwnd, message, w, l);
}

void Dialog::UpdateWindow() {
  if (impl_->hwnd != nullptr) ::UpdateWindow(impl_->hwnd);
}

bool Dialog::IsIconic() const { return impl_->hwnd != nullptr && ::IsIconic(impl_->hwnd); }

Rect Dialog::GetClientRect() const {
  RECT r{};
  if (impl_->hwnd != nullptr) ::GetClientRect(impl_->hwnd, &r);
  return {r.left, r.top, r.right, r.bottom};
}

unsigned Dialog::WindowDpi() const {
  constexpr unsigned kDefaultDpi = 96;
  if (impl_->hwnd == nullptr) return kDefaultDpi;
  // GetDpiForWindow came with Windows 10 (1607): looked up, not imported,
  // so the program still starts on Windows 7.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(impl_->hwnd);
    if (dpi != 0) return dpi;
  }
  HDC dc = ::GetDC(impl_->hwnd);
  if (dc == nullptr) return kDefaultDpi;
  const int dpi = ::GetDeviceCaps(dc, LOGPIXELSY);
  ::ReleaseDC(impl_->hwnd, dc);
  return dpi > 0 ? static_cast<unsigned>(dpi) : kDefaultDpi;
}

Rect Dialog::GetItemClientRect(int id) const {
  RECT r{};
  HWND item = Item(*this, id);
  if (item == nullptr || !::GetWindowRect(item, &r)) return {};
  ::MapWindowPoints(nullptr, impl_->hwnd, reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right, r.bottom};
}

void Dialog::MoveItem(int id, const Rect& area) {
  if (HWND item = Item(*this, id)) {
    ::SetWindowPos(item, nullptr, area.left, area.top, area.Width(), area.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

int Dialog::ItemTextWidth(int id) const {
  HWND item = Item(*this, id);
  if (item == nullptr) return 0;
  const std::wstring text = LenientWide(WindowTextGbk(item));
  HDC dc = ::GetDC(item);
  if (dc == nullptr) return 0;
  HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(item, WM_GETFONT, 0, 0)));
  // As a label draws it, on one line.
  RECT need{};
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need, DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
  ::SelectObject(dc, previous);
  ::ReleaseDC(item, dc);
  return need.right - need.left;
}

void Dialog::InvalidateRect(const Rect& area, bool erase) {
  // Never with a null window: that would invalidate every window on the desktop.
  if (impl_->hwnd == nullptr) return;
  const RECT r{area.left, area.top, area.right, area.bottom};
  ::InvalidateRect(impl_->hwnd, &r, erase ? TRUE : FALSE);
}

void Dialog::RedrawAll() {
  if (impl_->hwnd == nullptr) return;
  ::RedrawWindow(impl_->hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Dialog::SendToEveryItem(unsigned message, WParam w, LParam l) {
  if (impl_->hwnd == nullptr) return;
  for (HWND item = ::GetWindow(impl_->hwnd, GW_CHILD); item != nullptr; item = ::GetWindow(item, GW_HWNDNEXT)) {
    ::SendMessageW(item, message, w, l);
  }
}

void* Dialog::GetSystemMenu(bool revert) {
  if (impl_->hwnd == nullptr) return nullptr;
  return ::GetSystemMenu(impl_->hwnd, revert ? TRUE : FALSE);
}

bool Dialog::AppendMenuItem(void* menu, unsigned flags, unsigned id, const std::string& text) {
  if (menu == nullptr) return false;
  const std::wstring wide = LenientWide(text);
  // A separator carries no text.
  const wchar_t* item = (flags & MF_SEPARATOR) != 0 ? nullptr : wide.c_str();
  return ::AppendMenuW(static_cast<HMENU>(menu), flags, id, item) != FALSE;
}

std::string Dialog::LoadResourceString(int id) const {
  // With a zero buffer size LoadStringW hands out the resource's own text,
  // so no length limit applies.
  const wchar_t* text = nullptr;
  const int length = ::LoadStringW(win32::ProgramModule(), static_cast<UINT>(id),
                                   reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return LenientGbk(std::wstring_view(text, static_cast<size_t>(length)));
}

IconHandle Dialog::LoadResourceIcon(int id) const {
  return ::LoadIconW(win32::ProgramModule(), MAKEINTRESOURCEW(id));
}

FontHandle Dialog::CreateFontFrom(const FontSpec& font) {
  const std::wstring face = LenientWide(font.face);
  return ::CreateFontW(font.height, font.width, font.escapement, font.orientation, font.weight,
                       font.italic, font.underline, font.strikeOut, font.charSet,
                       font.outPrecision, font.clipPrecision, font.quality, font.pitchAndFamily,
                       face.c_str());
}

int Dialog::ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  return ::MessageBoxW(impl_->hwnd, LenientWide(text).c_str(), LenientWide(caption).c_str(),
                       type);
}

int Dialog::AppMessageBox(const std::string& text, unsigned type) {
  App* app = App::Current();
  HWND owner = nullptr;
  std::string caption;
  if (app != nullptr) {
    caption = app->AppTitle();
    if (app->mainWindow != nullptr) owner = win32::WindowOf(*app->mainWindow);
  }
  return ::MessageBoxW(owner, LenientWide(text).c_str(), LenientWide(caption).c_str(), type);
}

}  // namespace vornell
