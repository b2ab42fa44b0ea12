// The license page of the real window: the rich-edit box holds exactly the
// composed agreement, read from its start, and holds it once however often
// the page is entered again; typed changes are gone when it comes back.
#include <richedit.h>

#include <string>

#include "tests/wine/driver.h"
#include "wizard/license_text.h"

using namespace wt;

namespace {

constexpr int kLicenseBox = 1022;

struct Box {
  HANDLE process;
  HWND dialog;
  HWND box() const { return Item(dialog, kLicenseBox); }
};

// The box's text as EM_GETTEXTEX gives it in code page 936.
std::string TextEx(const Box& b, DWORD flags) {
  const size_t capacity = 16384;
  RemoteMemory mem(b.process, sizeof(GETTEXTEX) + capacity);
  if (!mem.ok()) return "<no remote memory>";
  GETTEXTEX request{};
  request.cb = capacity;
  request.flags = flags;
  request.codepage = 936;
  mem.Write(&request, sizeof request);
  LRESULT bytes = 0;
  if (!SendWithin(b.box(), EM_GETTEXTEX, mem.at(), static_cast<LPARAM>(mem.at(sizeof request)), bytes))
    return "<no answer>";
  if (bytes < 0 || static_cast<size_t>(bytes) >= capacity) return "<bad length>";
  std::string text(static_cast<size_t>(bytes), '\0');
  mem.Read(text.data(), text.size(), sizeof request);
  return text;
}

LRESULT TextLengthEx(const Box& b, DWORD flags, UINT codepage) {
  RemoteMemory mem(b.process, sizeof(GETTEXTLENGTHEX));
  GETTEXTLENGTHEX request{flags, codepage};
  mem.Write(&request, sizeof request);
  LRESULT n = -1;
  SendWithin(b.box(), EM_GETTEXTLENGTHEX, mem.at(), 0, n);
  return n;
}

POINT ScrollPos(const Box& b) {
  RemoteMemory mem(b.process, sizeof(POINT));
  POINT p{-1, -1};
  mem.Write(&p, sizeof p);
  LRESULT ignored = 0;
  SendWithin(b.box(), EM_GETSCROLLPOS, 0, static_cast<LPARAM>(mem.at()), ignored);
  mem.Read(&p, sizeof p);
  return p;
}

void Selection(const Box& b, DWORD& start, DWORD& end) {
  LRESULT packed = 0;
  SendWithin(b.box(), EM_GETSEL, 0, 0, packed);
  start = LOWORD(packed);
  end = HIWORD(packed);
}

LRESULT FirstVisibleLine(const Box& b) {
  LRESULT line = -1;
  SendWithin(b.box(), EM_GETFIRSTVISIBLELINE, 0, 0, line);
  return line;
}

// Text, place and view of a freshly entered license page.
void CheckFreshPage(const Box& b, const std::string& when) {
  Note("license page " + when);
  WT_CHECK(ItemVisible(b.dialog, kLicenseBox));
  const std::string crlf = vornell::ComposeLicenseText("\r\n");
  // GT_USECRLF gives back each paragraph mark as CR LF: the composed text, byte for byte, once.
  const std::string withCrLf = TextEx(b, GT_USECRLF);
  WT_CHECK_EQ(withCrLf.size(), crlf.size());
  WT_CHECK(withCrLf == crlf);
  // GT_DEFAULT gives the paragraph marks as the box keeps them: a bare CR each.
  WT_CHECK(TextEx(b, GT_DEFAULT) == vornell::ComposeLicenseText("\r"));
  // WM_GETTEXT (which the system copies across processes) says the same.
  // GetWindowText would not ask the box: for another process's window it
  // reads the text the system keeps, which a rich-edit box leaves empty.
  std::wstring wide(8192, L'\0');
  LRESULT n = 0;
  SendWithin(b.box(), WM_GETTEXT, wide.size(), reinterpret_cast<LPARAM>(wide.data()), n);
  wide.resize(n > 0 ? static_cast<size_t>(n) : 0);
  const std::string windowText = Gbk(wide);
  WT_CHECK(windowText == crlf);
  if (windowText != crlf) {
    size_t i = 0;
    while (i < windowText.size() && i < crlf.size() && windowText[i] == crlf[i]) ++i;
    Note("window text: " + std::to_string(windowText.size()) + " bytes, differs at " + std::to_string(i) + ": " +
         Show(windowText.substr(i > 8 ? i - 8 : 0, 24)));
  }
  WT_CHECK_EQ(TextLengthEx(b, GTL_NUMCHARS | GTL_USECRLF | GTL_PRECISE, 1200), 3242);
  // Wine's byte count is an upper bound, two bytes a character, GTL_PRECISE or
  // not; the exact count is the length that EM_GETTEXTEX gave above.
  const LRESULT bytes = TextLengthEx(b, GTL_NUMBYTES | GTL_USECRLF | GTL_PRECISE, 936);
  WT_CHECK(bytes >= 6186);
  if (bytes != 6186) Note("EM_GETTEXTLENGTHEX counts " + std::to_string(bytes) + " bytes in code page 936");

  WT_CHECK_EQ(FirstVisibleLine(b), 0);
  const POINT scroll = ScrollPos(b);
  WT_CHECK_EQ(scroll.x, 0);
  WT_CHECK_EQ(scroll.y, 0);
  DWORD start = 99, end = 99;
  Selection(b, start, end);
  WT_CHECK_EQ(start, 0u);
  WT_CHECK_EQ(end, 0u);
}

// Title, code line, headings and paragraphs all in one character and one
// paragraph format: over the whole text every property reads as uniform.
void CheckNoFormatting(const Box& b) {
  LRESULT ignored = 0;
  SendWithin(b.box(), EM_SETSEL, 0, -1, ignored);
  RemoteMemory mem(b.process, sizeof(CHARFORMAT2W) + sizeof(PARAFORMAT2));
  CHARFORMAT2W cf{};
  cf.cbSize = sizeof cf;
  PARAFORMAT2 pf{};
  pf.cbSize = sizeof pf;
  mem.Write(&cf, sizeof cf);
  mem.Write(&pf, sizeof pf, sizeof cf);
  SendWithin(b.box(), EM_GETCHARFORMAT, SCF_SELECTION, static_cast<LPARAM>(mem.at()), ignored);
  SendWithin(b.box(), EM_GETPARAFORMAT, 0, static_cast<LPARAM>(mem.at(sizeof cf)), ignored);
  mem.Read(&cf, sizeof cf);
  mem.Read(&pf, sizeof pf, sizeof cf);
  const DWORD uniformChars = CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_COLOR;
  WT_CHECK_EQ(cf.dwMask & uniformChars, uniformChars);
  WT_CHECK_EQ(cf.dwEffects & (CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE), 0u);
  const DWORD uniformParas = PFM_ALIGNMENT | PFM_STARTINDENT | PFM_OFFSET | PFM_NUMBERING;
  WT_CHECK_EQ(pf.dwMask & uniformParas, uniformParas);
  WT_CHECK_EQ(pf.wNumbering, 0);
  WT_CHECK_EQ(pf.dxStartIndent, 0);
  WT_CHECK_EQ(pf.dxOffset, 0);
  SendWithin(b.box(), EM_SETSEL, 0, 0, ignored);
}

// What a reader does: type a few letters somewhere in the text and scroll down.
void ReadAndType(const Box& b) {
  LRESULT ignored = 0;
  SendWithin(b.box(), EM_SETSEL, 5, 5, ignored);
  for (wchar_t c : std::wstring(L"XYZ")) SendWithin(b.box(), WM_CHAR, c, 1, ignored);
  SendWithin(b.box(), EM_LINESCROLL, 0, 30, ignored);
  // Without these the checks of a fresh page would prove nothing.
  WT_CHECK(TextEx(b, GT_USECRLF) != vornell::ComposeLicenseText("\r\n"));
  WT_CHECK(TextEx(b, GT_USECRLF).find("XYZ") != std::string::npos);
  WT_CHECK(FirstVisibleLine(b) > 0);
  DWORD start = 0, end = 0;
  Selection(b, start, end);
  WT_CHECK_EQ(start, 8u);
}

}  // namespace

int wmain() {
  // What the box is expected to hold, as the program composes it.
  const std::string expected = vornell::ComposeLicenseText("\r\n");
  WT_CHECK_EQ(expected.size(), 6186u);
  WT_CHECK_EQ(Wide(expected).size(), 3242u);

  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const Box b{p.pi.hProcess, p.window};
  WT_CHECK(WaitUntil([&] { return ItemVisible(p.window, kLicenseBox); }, 10000));
  Sleep(1000);  // the first page paints

  CheckFreshPage(b, "at start");
  WT_CHECK(ItemVisible(p.window, 1005));
  WT_CHECK_EQ(ItemText(p.window, 1005), std::string("安装前请阅读以下内容"));
  WT_CHECK(SaveScreenshot(p.window, "license"));
  CheckNoFormatting(b);

  // Next with no printer attached leads to the retry page; Back returns.
  ReadAndType(b);
  WT_CHECK(ClickAsUser(p.window, 1001));
  // The hidden status line holds the retry text from the start: wait for the whole page.
  WT_CHECK(WaitForPage(p.window, WizardPage::kRetry, 30000));
  WT_CHECK(!ItemVisible(p.window, kLicenseBox));
  WT_CHECK(ClickAsUser(p.window, 1002));
  WT_CHECK(WaitUntil([&] { return ItemVisible(p.window, kLicenseBox); }, 10000));
  Sleep(300);
  CheckFreshPage(b, "after Next and Back");

  // Declining to leave shows the page afresh as well.
  ReadAndType(b);
  WT_CHECK(ClickAsUser(p.window, 1002));
  HWND box = WaitForMessageBox(p.pid(), p.window, 10000);
  WT_CHECK(box != nullptr);
  if (box != nullptr) {
    AnswerMessageBox(box, IDNO);
    WT_CHECK(WaitUntil([&] { return !IsWindow(box); }, 5000));
    Sleep(300);
    CheckFreshPage(b, "after declining to leave");
  }
  WT_CHECK(p.Running());
  SaveScreenshot(p.window, "license-again");

  p.Kill();
  return Finish();
}
