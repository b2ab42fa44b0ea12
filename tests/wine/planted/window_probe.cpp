// Runs inside Vornell.exe (loaded by a remote thread). Wine keeps menus and
// fonts private to their process and hands another process an ANSI window's
// text through the ANSI code page, so what the test wants to see of the
// window is read here and written as UTF-16 lines "key=value" to
// C:\window-probe.txt, which appears whole (written aside, then renamed).
#include <windows.h>

#include <richedit.h>

#include <string>
#include <vector>

#include "tests/wine/probe_dll.h"

namespace {

void FontLines(std::wstring& out, HWND dialog, int id) {
  const std::wstring key = L"font" + std::to_wstring(id);
  HWND item = GetDlgItem(dialog, id);
  // Sent from this thread to the window's own: a real WM_GETFONT.
  const auto font = reinterpret_cast<HFONT>(SendMessageW(item, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  const int got = font != nullptr ? GetObjectW(font, sizeof lf, &lf) : 0;
  out += key + L".handle=" + (font != nullptr ? L"yes" : L"no") + L"\n";
  out += key + L".object=" + std::to_wstring(got) + L"\n";
  out += key + L".height=" + std::to_wstring(lf.lfHeight) + L"\n";
  out += key + L".weight=" + std::to_wstring(lf.lfWeight) + L"\n";
  out += key + L".charset=" + std::to_wstring(lf.lfCharSet) + L"\n";
  out += key + L".pitch=" + std::to_wstring(lf.lfPitchAndFamily) + L"\n";
  out += key + L".face=" + lf.lfFaceName + L"\n";
}

void MenuLines(std::wstring& out, HWND dialog) {
  HMENU menu = GetSystemMenu(dialog, FALSE);
  const int count = menu != nullptr ? GetMenuItemCount(menu) : -1;
  out += L"menu.count=" + std::to_wstring(count) + L"\n";
  for (int i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 255;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    const std::wstring key = L"menu." + std::to_wstring(i);
    out += key + L".type=" + std::to_wstring(info.fType) + L"\n";
    out += key + L".id=" + std::to_wstring(info.wID) + L"\n";
    out += key + L".text=" + text + L"\n";
  }
}

// The license box's text as it holds it (UTF-16, whatever the window's
// class or the ANSI code page), line ends left out to keep it one line.
void LicenseLine(std::wstring& out, HWND dialog) {
  HWND box = GetDlgItem(dialog, 1022);
  GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT chars = SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
  std::vector<wchar_t> text(static_cast<size_t>(chars > 0 ? chars : 0) + 1, L'\0');
  GETTEXTEX get{};
  get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  get.flags = GT_DEFAULT;
  get.codepage = 1200;
  SendMessageW(box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
  std::wstring line;
  for (const wchar_t* c = text.data(); *c != L'\0'; ++c)
    if (*c != L'\r' && *c != L'\n') line += *c;
  out += L"license=" + line + L"\n";
}

DWORD WINAPI Probe(void*) {
  const HWND dialog = probe::OwnWizardWindow();
  std::wstring out = L"window=" + std::wstring(dialog != nullptr ? L"yes" : L"no") + L"\n";
  if (dialog != nullptr) {
    FontLines(out, dialog, 1009);
    FontLines(out, dialog, 1014);
    FontLines(out, dialog, 1005);
    MenuLines(out, dialog);
    LicenseLine(out, dialog);
  }
  out += L"end=1\n";
  probe::WriteWhole(out, L"C:\\window-probe.tmp", L"C:\\window-probe.txt");
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  probe::StartProbe(reason, Probe);
  return TRUE;
}
