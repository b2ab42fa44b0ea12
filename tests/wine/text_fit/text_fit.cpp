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
  const int n = MultiByteToWideChar(936, 0, gbk, -1, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
  MultiByteToWideChar(936, 0, gbk, -1, out.data(), n);
  out.resize(out.size() - 1);
  return out;
}

std::wstring TextOf(HWND control) {
  wchar_t text[512] = {};
  GetWindowTextW(control, text, 512);
  return text;
}

// The texts a page may put into the control, besides the one it holds.
std::vector<std::wstring> PageTexts(int id) {
  std::vector<std::wstring> texts;
  for (const vornell::PageLook& page : vornell::kPages) {
    const char* text = id == IDC_NEXT ? page.next : id == IDC_BACK ? page.back : id == IDC_STATUS ? page.status : nullptr;
    if (text != nullptr) texts.push_back(Wide(text));
  }
  return texts;
}

// What the text needs and what the control gives it, drawn as the control
// draws it: statics by DrawText with their wrapping, push buttons on one
// line inside their bevel, check boxes and radio buttons beside their box.
void Measure(std::wstring& out, const std::wstring& key, HWND control, const std::wstring& text, UINT dpi) {
  wchar_t cls[32] = {};
  GetClassNameW(control, cls, 32);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  RECT client{};
  GetClientRect(control, &client);
  LONG roomWidth = client.right, roomHeight = client.bottom;
  UINT format = DT_CALCRECT | DT_EXPANDTABS;
  if (lstrcmpiW(cls, L"Static") == 0) {
    const LONG kind = style & SS_TYPEMASK;
    if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP) return;
    format |= kind == SS_LEFTNOWORDWRAP ? DT_SINGLELINE : DT_WORDBREAK;
    if ((style & SS_NOPREFIX) != 0) format |= DT_NOPREFIX;
  } else if (lstrcmpiW(cls, L"Button") == 0) {
    const LONG kind = style & BS_TYPEMASK;
    format |= DT_SINGLELINE;
    if (kind == BS_PUSHBUTTON || kind == BS_DEFPUSHBUTTON) {
      roomWidth -= 6;  // the bevel and the focus rectangle, 3 px a side
      roomHeight -= 6;
    } else if (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX || kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON) {
      roomWidth -= MulDiv(13, dpi, 96) + MulDiv(4, dpi, 96);  // the box and the gap after it
    } else {
      return;
    }
  } else {
    return;
  }
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT need{0, 0, roomWidth, 0};
  DrawTextW(dc, text.c_str(), -1, &need, format);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  out += key + L".text=" + text + L"\n";
  out += key + L".need=" + std::to_wstring(need.right) + L"x" + std::to_wstring(need.bottom) + L"\n";
  out += key + L".room=" + std::to_wstring(roomWidth) + L"x" + std::to_wstring(roomHeight) + L"\n";
}

BOOL CALLBACK FindAbout(HWND hwnd, LPARAM lp) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  if (pid == GetCurrentProcessId() && std::wstring(text) == L"\u5173\u4e8e Vornell") {
    *reinterpret_cast<HWND*>(lp) = hwnd;
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI Probe(void*) {
  const HWND dialog = probe::OwnWizardWindow();
  std::wstring out = L"window=" + std::wstring(dialog != nullptr ? L"yes" : L"no") + L"\n";
  if (dialog != nullptr) {
    HDC screen = GetDC(dialog);
    const UINT dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
    ReleaseDC(dialog, screen);
    out += L"dpi=" + std::to_wstring(dpi) + L"\n";
    for (HWND c = GetWindow(dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
      const int id = GetDlgCtrlID(c);
      std::vector<std::wstring> texts = PageTexts(id);
      if (texts.empty()) texts.push_back(TextOf(c));
      for (size_t i = 0; i < texts.size(); ++i)
        Measure(out, std::to_wstring(id) + L"." + std::to_wstring(i), c, texts[i], dpi);
    }
    HWND about = nullptr;
    EnumWindows(FindAbout, reinterpret_cast<LPARAM>(&about));
    out += L"about=" + std::wstring(about != nullptr ? L"yes" : L"no") + L"\n";
    int n = 0;
    for (HWND c = about != nullptr ? GetWindow(about, GW_CHILD) : nullptr; c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
      Measure(out, L"about." + std::to_wstring(n++), c, TextOf(c), dpi);
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
