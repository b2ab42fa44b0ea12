// The yardstick for the start-up and memory figures: the least a Win32
// program needs to show what the wizard's first page shows, a dialog with a
// "RichEdit20A" box that receives about 6 KB of GBK text while the dialog
// initialises. Same dialog size, font and box style as the wizard; nothing else.
#include <windows.h>
#include <richedit.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kLicenseBox = 1022;  // the wizard's ID, so one probe fits both
constexpr DWORD kBoxStyle = 0x50B100C4;  // the wizard's license box style
constexpr size_t kTextBytes = 6100;      // about the wizard's license text

// GBK bytes (narrow literals are compiled to GBK), joined by CR LF as the
// wizard joins its license entries.
std::string SampleText() {
  const char* const sentences[] = {
      "本程序仅用于衡量启动时间与内存占用，不安装任何文件，也不修改系统设置。",
      "文本框显示的是一段与许可协议篇幅相当的中文文字，每行一条。",
      "窗口与安装向导的大小、字体和文本框样式相同，以便两者可以直接比较。",
  };
  std::string text;
  for (int line = 1; text.size() < kTextBytes; ++line) {
    if (!text.empty()) text += "\r\n";
    text += std::to_string(line) + ". ";
    text += sentences[line % 3];
    text += sentences[(line + 1) % 3];
  }
  text += "\r\n";
  return text;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      const std::string text = SampleText();
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
  // As the wizard does it: the rich-edit class from the system directory only.
  wchar_t dir[MAX_PATH];
  const UINT n = GetSystemDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 2;
  const std::wstring path = std::wstring(dir, n) + L"\\riched20.dll";
  if (LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32) == nullptr &&
      LoadLibraryW(path.c_str()) == nullptr) {
    return 3;
  }

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
