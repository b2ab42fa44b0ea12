// Runs inside Vornell.exe (loaded by a remote thread). For each control of
// the wizard and of the open about box that shows text, and for each text a
// page puts into it (the page table's captions and status lines), it asks
// the control's own font how much room the text takes, drawn the way the
// control draws it, and writes C:\text-fit.txt: per text the room it needs
// and the room the control has, in pixels, as UTF-16 "key=value" lines.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/wine/probe_dll.h"
#include "wizard/pages.h"

namespace {

std::wstring Wide(const char* gbk) {
  wchar_t text[256] = {};
  MultiByteToWideChar(936, 0, gbk, -1, text, 255);
  return text;
}

// The texts the pages put into the control, or else the one it holds.
std::vector<std::wstring> TextsOf(HWND control) {
  const int id = GetDlgCtrlID(control);
  std::vector<std::wstring> texts;
  for (const vornell::PageLook& page : vornell::kPages) {
    const char* text = id == IDC_NEXT ? page.next : id == IDC_BACK ? page.back : id == IDC_STATUS ? page.status : nullptr;
    if (text != nullptr) texts.push_back(Wide(text));
  }
  wchar_t own[512] = {};
  GetWindowTextW(control, own, 512);
  if (texts.empty()) texts.push_back(own);
  return texts;
}

// Statics by DrawText with their wrapping; push buttons on one line inside
// their bevel and focus rectangle; check boxes beside their box.
void Measure(std::wstring& out, const std::wstring& key, HWND control, const std::wstring& text, UINT dpi) {
  wchar_t cls[32] = {};
  GetClassNameW(control, cls, 32);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  RECT room{};
  GetClientRect(control, &room);
  UINT format = DT_CALCRECT | DT_EXPANDTABS;
  if (lstrcmpiW(cls, L"Static") == 0) {
    const LONG kind = style & SS_TYPEMASK;
    if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP) return;
    format |= (kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK) | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
  } else if (lstrcmpiW(cls, L"Button") == 0 && ((style & BS_TYPEMASK) <= BS_DEFPUSHBUTTON)) {
    format |= DT_SINGLELINE;
    InflateRect(&room, -3, -3);
  } else if (lstrcmpiW(cls, L"Button") == 0 && (style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
    format |= DT_SINGLELINE;
    room.right -= MulDiv(17, dpi, 96);  // the box and the gap after it
  } else {
    return;
  }
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT need{0, 0, room.right - room.left, 0};
  DrawTextW(dc, text.c_str(), -1, &need, format);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  out += key + L".text=" + text + L"\n" + key + L".need=" + std::to_wstring(need.right) + L"x" +
         std::to_wstring(need.bottom) + L"\n" + key + L".room=" + std::to_wstring(room.right - room.left) + L"x" +
         std::to_wstring(room.bottom - room.top) + L"\n";
}

DWORD WINAPI Probe(void*) {
  const HWND dialog = probe::OwnWizardWindow();
  const HWND about = probe::OwnWindow(L"\u5173\u4e8e Vornell");
  std::wstring out = L"about=" + std::wstring(about != nullptr ? L"yes" : L"no") + L"\n";
  if (dialog != nullptr) {
    HDC screen = GetDC(dialog);
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(dialog, screen);
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      const std::vector<std::wstring> texts = TextsOf(c);
      for (size_t i = 0; i < texts.size(); ++i)
        Measure(out, std::to_wstring(GetDlgCtrlID(c)) + L"." + std::to_wstring(i), c, texts[i], dpi);
    }
    int n = 0;
    for (HWND c = about != nullptr ? GetWindow(about, GW_CHILD) : nullptr; c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
      Measure(out, L"about." + std::to_wstring(n++), c, TextsOf(c)[0], dpi);
  }
  out += L"end=1\n";
  probe::WriteWhole(out, L"C:\\text-fit.tmp", L"C:\\text-fit.txt");
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  probe::StartProbe(reason, Probe);
  return TRUE;
}
