// The yardstick for the start-up and memory figures: the least a Win32
// program needs to show what the wizard's first page shows, a dialog with a
// "RichEdit20A" box that receives the wizard's own license text while the
// dialog initialises. Same dialog size, font and box style as the wizard;
// nothing else. It notes the times of its steps as the wizard does, on the
// same clock, in %TEMP%\vornell_baseline.log, for the benchmark to set beside
// the wizard's.
#include <windows.h>
#include <richedit.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/startup_marks.h"
#include "wizard/license_text.h"

namespace {

constexpr int kLicenseBox = 1022;  // the wizard's ID, so one probe fits both
constexpr DWORD kBoxStyle = 0x50B100C4;  // the wizard's license box style

void WriteMarks() {
  wchar_t temp[MAX_PATH] = {};
  const DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return;
  const std::wstring path = std::wstring(temp) + L"vornell_baseline.log";
  if (FILE* out = _wfopen(path.c_str(), L"w")) {
    std::fprintf(out, "start-up, ms since the process was created: %s\n", vornell::TakeStartupMarks().c_str());
    std::fclose(out);
  }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      vornell::MarkStartup("window and box");
      // Joined as the wizard joins its entries.
      const std::string text = vornell::ComposeLicenseText("\r\n");
      SETTEXTEX settings{};
      settings.flags = ST_DEFAULT;
      settings.codepage = 936;
      SendDlgItemMessageW(dialog, kLicenseBox, EM_SETTEXTEX, reinterpret_cast<WPARAM>(&settings),
                          reinterpret_cast<LPARAM>(text.c_str()));
      // As the wizard does: caret and view back at the start. Focus is set
      // here, so the dialog manager does not select the whole text.
      SendDlgItemMessageW(dialog, kLicenseBox, EM_SETSEL, 0, 0);
      SendDlgItemMessageW(dialog, kLicenseBox, EM_SCROLLCARET, 0, 0);
      SetFocus(GetDlgItem(dialog, kLicenseBox));
      vornell::MarkStartup("license text");
      return FALSE;
    }
    case WM_PAINT: {
      // The dialog manager paints the plain face itself; the mark is taken as
      // the first paint begins, the wizard's once its picture is drawn.
      static bool logged = false;
      if (!logged) {
        logged = true;
        vornell::MarkStartup("first paint");
        WriteMarks();
      }
      return FALSE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, IDCANCEL);
      return TRUE;
    default:
      return FALSE;
  }
}

// An in-memory DLGTEMPLATE: header, menu, class, caption, font, then each item
// DWORD-aligned. Laid out by hand to keep the program free of resources.
class TemplateWriter {
 public:
  void Word(WORD w) { bytes_.push_back(w); }
  void Dword(DWORD d) {
    Word(LOWORD(d));
    Word(HIWORD(d));
  }
  void Text(const wchar_t* s) {
    for (; *s != L'\0'; ++s) Word(static_cast<WORD>(*s));
    Word(0);
  }
  void AlignDword() {
    if (bytes_.size() % 2 != 0) Word(0);
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  std::vector<WORD> bytes_;  // WORDs, so the start is suitably aligned
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  vornell::MarkStartup("WinMain");
  // As the wizard does it: the rich-edit class from the system directory only.
  wchar_t dir[MAX_PATH];
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 2;
  const std::wstring path = std::wstring(dir, n) + L"\\riched20.dll";
  if (LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) == nullptr &&
      LoadLibraryW(path.c_str()) == nullptr) {
    return 3;
  }
  vornell::MarkStartup("rich edit");

  TemplateWriter t;
  t.Dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT |
          DS_FIXEDSYS | DS_CENTER);
  t.Dword(WS_EX_APPWINDOW);
  t.Word(1);  // items
  t.Word(0);  // x, y, cx, cy in dialog units
  t.Word(0);
  t.Word(320);
  t.Word(200);
  t.Word(0);  // no menu
  t.Word(0);  // standard dialog class
  t.Text(L"Vornell baseline");
  t.Word(9);
  t.Text(L"MS Shell Dlg");
  t.AlignDword();
  t.Dword(kBoxStyle);
  t.Dword(0);
  t.Word(20);
  t.Word(61);
  t.Word(276);
  t.Word(95);
  t.Word(kLicenseBox);
  t.Text(L"RichEdit20A");
  t.Word(0);  // no text
  t.Word(0);  // no creation data

  const INT_PTR result = DialogBoxIndirectParamW(instance, t.Get(), nullptr, DialogProc, 0);
  return result == -1 ? 4 : 0;
}
