// Runs inside Vornell.exe (loaded by a remote thread). Wine does not pass
// WM_CTLCOLOR* messages between processes, so the control-colour requests are
// sent from here, with a device context of this process, and every answer is
// written as UTF-16 lines "key=value" to C:\colour-probe.txt (written aside,
// then renamed, so that it appears whole).
#include <windows.h>
#include <winternl.h>

#include <string>

#include "tests/wine/probe_dll.h"

namespace {

std::wstring Hex(ULONG_PTR v) {
  wchar_t b[32];
  wsprintfW(b, L"%IX", v);
  return b;
}

// GDI objects of this process: the entries in use in its handle table
// (GetGuiResources is a stub under Wine).
long GdiObjects() {
  struct Entry {
    unsigned long long object;
    unsigned long owner;
    unsigned short unique;
    unsigned char type, flags;
    unsigned long long user;
  };
  // NtCurrentTeb reads the thread block through the gs segment, which GCC
  // takes for an access out of bounds of a zero-sized array.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
#pragma GCC diagnostic pop
  const auto* table = *reinterpret_cast<const Entry* const*>(peb + 0xF8);
  if (table == nullptr) return -1;
  long n = 0;
  for (int i = 0; i < 0x10000; ++i) n += table[i].type != 0;
  return n;
}

// One request as a control would make it: the dialog's answer, what it did to
// the device context, and what the system alone would have answered.
void Ask(std::wstring& out, HWND dialog, UINT message, int id, const wchar_t* name) {
  HWND control = GetDlgItem(dialog, id);
  HDC dc = CreateCompatibleDC(nullptr);
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(1, 2, 3));
  const LRESULT brush = SendMessageW(dialog, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  HDC plain = CreateCompatibleDC(nullptr);
  const LRESULT system = DefWindowProcW(dialog, message, reinterpret_cast<WPARAM>(plain), reinterpret_cast<LPARAM>(control));
  const std::wstring key = std::wstring(name) + L"." + std::to_wstring(id);
  out += key + L".brush=" + Hex(brush) + L"\n";
  out += key + L".system=" + Hex(system) + L"\n";
  out += key + L".mode=" + std::to_wstring(GetBkMode(dc)) + L"\n";
  out += key + L".bk=" + Hex(GetBkColor(dc)) + L"\n";
  DeleteDC(plain);
  DeleteDC(dc);
}

DWORD WINAPI Probe(void*) {
  const HWND dialog = probe::OwnWizardWindow();
  std::wstring out = L"window=" + std::wstring(dialog != nullptr ? L"yes" : L"no") + L"\n";
  if (dialog != nullptr) {
    out += L"hollow=" + Hex(reinterpret_cast<ULONG_PTR>(GetStockObject(NULL_BRUSH))) + L"\n";
    out += L"face=" + Hex(GetSysColor(COLOR_BTNFACE)) + L"\n";
    Ask(out, dialog, WM_CTLCOLOREDIT, 1022, L"edit");
    // Asked again and again: always the same brush, and no new drawing object.
    HWND box = GetDlgItem(dialog, 1022);
    HDC dc = CreateCompatibleDC(nullptr);
    const LRESULT first = SendMessageW(dialog, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(box));
    const long before = GdiObjects();
    int differ = 0;
    for (int i = 0; i < 50; ++i)
      differ += SendMessageW(dialog, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(box)) != first;
    out += L"again.differ=" + std::to_wstring(differ) + L"\n";
    out += L"gdi.before=" + std::to_wstring(before) + L"\ngdi.after=" + std::to_wstring(GdiObjects()) + L"\n";
    DeleteDC(dc);
    Ask(out, dialog, WM_CTLCOLORSTATIC, 1022, L"static");
    // The license brush itself: solid, in the button-face colour.
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(dialog, WM_CTLCOLOREDIT, 0,
                                                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, 1022))));
    LOGBRUSH lb{};
    out += L"license.object=" + std::to_wstring(GetObjectW(brush, sizeof lb, &lb)) + L"\n";
    out += L"license.style=" + std::to_wstring(lb.lbStyle) + L"\n";
    out += L"license.color=" + Hex(lb.lbColor) + L"\n";
    for (int id : {1004, 1005, 1009, 1014, 1018, 1011, 1012, 1019, 1020, 1007, 1008, 1010, 1016})
      Ask(out, dialog, WM_CTLCOLORSTATIC, id, L"static");
    for (int id : {1001, 1002, 1003, 1010, 1011, 1012, 1019, 1020}) Ask(out, dialog, WM_CTLCOLORBTN, id, L"btn");
    Ask(out, dialog, WM_CTLCOLORDLG, 1001, L"dlg");
  }
  out += L"end=1\n";
  probe::WriteWhole(out, L"C:\\colour-probe.tmp", L"C:\\colour-probe.txt");
  return 0;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
  probe::StartProbe(reason, Probe);
  return TRUE;
}
