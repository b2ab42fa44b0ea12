// Painting of the real window on every page: the stretched background
// picture fills the client area, shows behind the transparent labels and
// check boxes and around the logo; buttons and progress bar keep their own
// look; the control-colour answers; no drawing objects left by repaints;
// at 150 % the header lines and the logo grow with the dialog; every text of
// every page and of the about box whole at 96, 120 and 144 DPI; high contrast
// switched on and off on the license, connection and success pages; the
// names a screen reader gives every control that Tab reaches.
#include "tests/wine/driver.h"

// psapi's counters from kernel32 (K32...): no further library to link.
#define PSAPI_VERSION 2
#include <psapi.h>
#include <winternl.h>
#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

using namespace wt;

namespace {

constexpr int kBackgroundBitmap = 135;
constexpr int kLogoBitmap = 136;
const wchar_t* kSerial = L"RX7300001";
const std::string kRetry = "提示：请检查打印机是否连接";
const std::string kFound = "点击 “ 继续 ” 进行打印机驱动安装";
const std::string kInstalling = "正在安装打印机驱动……";
const std::string kSuccess = "打印机驱动安装成功！";

// Bitmap `id` of Vornell.exe itself, read as pixels at its own size.
ClientPixels ProgramBitmap(int id, HBITMAP* keep = nullptr) {
  HMODULE program = LoadLibraryExW(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) return {};
  // As the program loads it: a device-dependent bitmap in the screen's format.
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageW(program, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
  FreeLibrary(program);
  if (bitmap == nullptr) return {};
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  ClientPixels px = ReadBitmapPixels(bitmap, info.bmWidth, info.bmHeight);
  if (keep != nullptr) *keep = bitmap;
  else DeleteObject(bitmap);
  return px;
}

// The background picture as the paint handler draws it into a client area of
// this size: stretched with COLORONCOLOR, whole picture onto the whole area.
ClientPixels StretchedBackground(int width, int height) {
  HBITMAP picture = nullptr;
  const ClientPixels original = ProgramBitmap(kBackgroundBitmap, &picture);
  WT_CHECK_EQ(original.width, 566);
  WT_CHECK_EQ(original.height, 383);
  if (picture == nullptr) return {};
  HDC screen = GetDC(nullptr);
  HDC source = CreateCompatibleDC(screen);
  HDC target = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ oldSource = SelectObject(source, picture);
  HGDIOBJ oldTarget = SelectObject(target, canvas);
  SetStretchBltMode(target, COLORONCOLOR);
  StretchBlt(target, 0, 0, width, height, source, 0, 0, original.width, original.height, SRCCOPY);
  SelectObject(source, oldSource);
  SelectObject(target, oldTarget);
  ClientPixels out = ReadBitmapPixels(canvas, width, height);
  DeleteObject(canvas);
  DeleteObject(picture);
  DeleteDC(source);
  DeleteDC(target);
  ReleaseDC(nullptr, screen);
  return out;
}

// Starts the program and lets its license page settle; the background as it
// should be drawn at the window's size. False when no window came.
bool OpenLicensePage(Program& p, ClientPixels& picture) {
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return false;
  HWND w = p.window;
  WT_CHECK(WaitUntil([&] { return ItemVisible(w, 1022); }, 10000));
  Sleep(1000);
  RECT client{};
  GetClientRect(w, &client);
  picture = StretchedBackground(client.right, client.bottom);
  return true;
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

struct Page {
  HWND dialog;
  std::string name;
  ClientPixels shot;      // the client area on screen
  const ClientPixels* picture;  // what the background must be
  COLORREF face = GetSysColor(COLOR_BTNFACE);
};

// Outside the visible controls, every pixel of the client area is the picture's.
void CheckBackground(const Page& p) {
  std::vector<RECT> controls;
  for (HWND c = GetWindow(p.dialog, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c)) continue;
    RECT r{};
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, p.dialog, reinterpret_cast<POINT*>(&r), 2);
    controls.push_back(r);
  }
  long compared = 0, differing = 0;
  std::string first;
  for (int y = 0; y < p.shot.height; ++y) {
    for (int x = 0; x < p.shot.width; ++x) {
      bool covered = false;
      for (const RECT& r : controls) covered = covered || Inside(r, x, y);
      if (covered) continue;
      ++compared;
      if (p.shot.at(x, y) != p.picture->at(x, y)) {
        if (differing++ == 0)
          first = " first at (" + std::to_string(x) + "," + std::to_string(y) + "): " + ShowColor(p.shot.at(x, y)) +
                  " instead of " + ShowColor(p.picture->at(x, y));
      }
    }
  }
  Note(p.name + ": " + std::to_string(compared) + " background pixels compared, " + std::to_string(differing) +
       " differ" + first);
  WT_CHECK(compared > p.shot.width * p.shot.height / 3);
  WT_CHECK_EQ(differing, 0L);
}

// A transparent control: the picture shows around its text, the dialog's face
// colour nowhere, and right beside the end of its text the picture's pixel.
void CheckTransparent(const Page& p, int id) {
  WT_CHECK(ItemVisible(p.dialog, id));
  const RECT r = ItemClientRect(p.dialog, id);
  long total = 0, picture = 0, face = 0;
  int lastInk = -1;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF seen = p.shot.at(x, y), want = p.picture->at(x, y);
      ++total;
      if (seen == want) ++picture;
      else if (x > lastInk) lastInk = x;
      if (seen == p.face && want != p.face) ++face;
    }
  }
  Note(p.name + ": control " + std::to_string(id) + ", " + std::to_string(picture) + " of " +
       std::to_string(total) + " pixels are the picture's, text ends at x " + std::to_string(lastInk));
  WT_CHECK(picture * 2 > total);
  WT_CHECK_EQ(face, 0L);
  WT_CHECK(lastInk >= r.left);  // its text was drawn
  const int bx = lastInk + 2, by = (r.top + r.bottom) / 2;
  WT_CHECK(bx < r.right);
  if (bx < r.right && lastInk >= r.left) {
    WT_CHECK(p.picture->at(bx, by) != p.face);  // else the next check could not tell
    WT_CHECK_EQ(ShowColor(p.shot.at(bx, by)), ShowColor(p.picture->at(bx, by)));
  }
}

// A push button paints its own face: the system's button colour, not the picture.
void CheckButton(const Page& p, int id) {
  WT_CHECK(ItemVisible(p.dialog, id));
  const RECT r = ItemClientRect(p.dialog, id);
  const int x = r.left + 5, y = r.top + 5;  // inside the bevel, clear of the centred caption
  WT_CHECK_EQ(ShowColor(p.shot.at(x, y)), ShowColor(p.face));
  WT_CHECK(p.picture->at(x, y) != p.face);
  long picture = 0, total = 0;
  for (int yy = r.top; yy < r.bottom; ++yy)
    for (int xx = r.left; xx < r.right; ++xx, ++total) picture += p.shot.at(xx, yy) == p.picture->at(xx, yy);
  WT_CHECK(picture * 10 < total);
}

// The progress bar keeps its border, its fill and its own background.
void CheckProgressBar(const Page& p) {
  WT_CHECK(ItemVisible(p.dialog, 1008));
  const RECT r = ItemClientRect(p.dialog, 1008);
  const int my = (r.top + r.bottom) / 2;
  WT_CHECK(p.shot.at(r.left, my) != p.picture->at(r.left, my));
  WT_CHECK(p.shot.at(r.right - 1, my) != p.picture->at(r.right - 1, my));
  WT_CHECK(p.shot.at(r.left + 1, r.top) != p.picture->at(r.left + 1, r.top));
  long picture = 0, total = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x, ++total) picture += p.shot.at(x, y) == p.picture->at(x, y);
  WT_CHECK(picture * 10 < total);
  // The unfilled end is the bar's own background: the window colour under
  // Wine's theme, the face colour unthemed. The picture is white there too,
  // so this pixel alone could not tell a transparent bar; the border and the
  // count above can.
  const COLORREF end = p.shot.at(r.right - 3, my);
  Note(p.name + ": progress bar end " + ShowColor(end) + " on picture " + ShowColor(p.picture->at(r.right - 3, my)) +
       ", fill " + ShowColor(p.shot.at(r.left + 3, my)) + ", border " + ShowColor(p.shot.at(r.left, my)) +
       "; picture pixels in the bar " + std::to_string(picture) + " of " + std::to_string(total));
  WT_CHECK(end == GetSysColor(COLOR_WINDOW) || end == p.face);
}

// The logo's own background is the picture under it: where the logo bitmap
// has its background colour, the screen shows exactly the picture's pixel.
void CheckLogo(const Page& p, const ClientPixels& logo) {
  WT_CHECK(ItemVisible(p.dialog, 1016));
  if (logo.empty()) return;
  const RECT r = ItemClientRect(p.dialog, 1016);
  WT_CHECK_EQ(r.right - r.left, logo.width);
  WT_CHECK_EQ(r.bottom - r.top, logo.height);
  const COLORREF ground = logo.at(0, 0);
  long background = 0, differing = 0, misdrawn = 0;
  std::string first;
  for (int y = 0; y < logo.height; ++y) {
    for (int x = 0; x < logo.width; ++x) {
      const int cx = r.left + x, cy = r.top + y;
      if (cx >= p.shot.width || cy >= p.shot.height) continue;
      misdrawn += p.shot.at(cx, cy) != logo.at(x, y);  // the logo is drawn as it is
      if (logo.at(x, y) != ground) continue;
      ++background;
      if (p.picture->at(cx, cy) != ground && differing++ == 0)
        first = ", first at (" + std::to_string(cx) + "," + std::to_string(cy) + "): logo " + ShowColor(ground) +
                " on picture " + ShowColor(p.picture->at(cx, cy));
    }
  }
  Note(p.name + ": logo background pixels " + std::to_string(background) + ", unlike the picture under them " +
       std::to_string(differing) + first);
  WT_CHECK_EQ(misdrawn, 0L);
  WT_CHECK(background > logo.width * logo.height / 2);
  WT_CHECK_EQ(differing, 0L);
}

Page Photograph(HWND w, const std::string& name, const ClientPixels& picture) {
  Sleep(500);  // let the page finish painting
  WT_CHECK(SaveScreenshot(w, name));
  Page p{w, name, CaptureClient(w), &picture};
  WT_CHECK_EQ(p.shot.width, picture.width);
  WT_CHECK_EQ(p.shot.height, picture.height);
  return p;
}

// ---- high contrast ----

// Between the window colour and the text colour, black and yellow: red and
// green alike, no blue. Text is smoothed, so its edges are blends of the two.
bool HighContrastInk(COLORREF c) { return GetBValue(c) == 0 && GetRValue(c) == GetGValue(c); }

// Inside `r`: nothing but the two colours and their blends, and some of the
// text colour itself.
void CheckHighContrastText(const ClientPixels& shot, const RECT& r, const std::string& what) {
  long total = 0, foreign = 0, text = 0, ink = 0;
  std::string first;
  for (int y = std::max(0L, r.top); y < r.bottom && y < shot.height; ++y) {
    for (int x = std::max(0L, r.left); x < r.right && x < shot.width; ++x) {
      const COLORREF c = shot.at(x, y);
      ++total;
      text += c == kHighContrastText;
      ink += c != kHighContrastWindow;
      if (!HighContrastInk(c) && foreign++ == 0)
        first = ", first at (" + std::to_string(x) + "," + std::to_string(y) + "): " + ShowColor(c);
    }
  }
  Note(what + ": " + std::to_string(ink) + " of " + std::to_string(total) + " pixels drawn, " + std::to_string(text) +
       " of them in the text colour itself, " + std::to_string(foreign) + " of another colour" + first);
  WT_CHECK(ink > 20);
  WT_CHECK(text > 0);
  WT_CHECK_EQ(foreign, 0L);
}

// The page in high contrast: the window's colour wherever no control is, the
// labels' and the box's text in the window-text colour on it, the logo as it is.
void CheckHighContrastPage(HWND w, const std::string& name, std::initializer_list<int> texts, const ClientPixels& logo) {
  RECT client{};
  GetClientRect(w, &client);
  const ClientPixels window{client.right, client.bottom,
                            std::vector<COLORREF>(static_cast<size_t>(client.right) * client.bottom, kHighContrastWindow)};
  const Page page = Photograph(w, name, window);
  CheckBackground(page);
  for (int id : texts) {
    RECT r = ItemClientRect(w, id);
    if (id == 1019 || id == 1020) r.left += 20;  // a check box's square is drawn in the frame colours
    CheckHighContrastText(page.shot, r, name + ": control " + std::to_string(id));
  }
  if (ItemVisible(w, 1022)) {
    // The box's own area, inside its border and scroll bars.
    RECT inside{};
    GetClientRect(Item(w, 1022), &inside);
    MapWindowPoints(Item(w, 1022), w, reinterpret_cast<POINT*>(&inside), 2);
    CheckHighContrastText(page.shot, inside, name + ": the license text");
  }
  // The logo is a picture, not text: it stays.
  const RECT r = ItemClientRect(w, 1016);
  long misdrawn = 0;
  for (int y = 0; y < logo.height; ++y)
    for (int x = 0; x < logo.width; ++x) misdrawn += page.shot.at(r.left + x, r.top + y) != logo.at(x, y);
  WT_CHECK_EQ(misdrawn, 0L);
}

// High contrast switched on while the page is open, checked, and off again:
// the page is as it was, to the pixel.
void CheckHighContrastSwitch(Program& p, const std::string& name, std::initializer_list<int> texts,
                             const ClientPixels& picture, const ClientPixels& logo) {
  WT_CHECK(SwitchHighContrast(p, true));
  CheckHighContrastPage(p.window, name + "-highcontrast", texts, logo);
  WT_CHECK(SwitchHighContrast(p, false));
  const Page page = Photograph(p.window, name + "-again", picture);
  CheckBackground(page);
  for (int id : texts) CheckTransparent(page, id);
}

// ---- screen readers ----

// The name oleacc gives a control, as a screen reader asks for it.
std::wstring AccessibleName(HWND control, HRESULT& result) {
  IAccessible* accessible = nullptr;
  result = AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                      reinterpret_cast<void**>(&accessible));
  if (FAILED(result) || accessible == nullptr) return {};
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  result = accessible->get_accName(self, &name);
  std::wstring out = name != nullptr ? std::wstring(name, SysStringLen(name)) : std::wstring();
  if (name != nullptr) SysFreeString(name);
  accessible->Release();
  return out;
}

// Windows names a control without text of its own after its label: the
// static text found first going back in the tab order (GetWindow with
// GW_HWNDPREV), hidden or not, unless a shown control with WS_GROUP or
// WS_TABSTOP comes first.
HWND LabelBefore(HWND control) {
  for (HWND c = GetWindow(control, GW_HWNDPREV); c != nullptr; c = GetWindow(c, GW_HWNDPREV)) {
    DWORD_PTR code = 0;
    SendMessageTimeoutW(c, WM_GETDLGCODE, 0, 0, SMTO_ABORTIFHUNG, 5000, &code);
    if ((code & DLGC_STATIC) != 0) return c;
    if (IsWindowVisible(c) && (GetWindowLongW(c, GWL_STYLE) & (WS_GROUP | WS_TABSTOP)) != 0) return nullptr;
  }
  return nullptr;
}

// Every control Tab reaches on the page (exactly `reachable`) has a name that
// says what it is: a button's or a check box's is its own text, read through
// oleacc; the license box's is its heading. Wine's oleacc names no box without
// text of its own, so there the rule above decides, applied to the window.
void CheckScreenReaderNames(HWND w, const std::string& page, std::vector<int> reachable) {
  std::vector<int> seen;
  for (HWND c = GetWindow(w, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c) || !IsWindowEnabled(c) || (GetWindowLongW(c, GWL_STYLE) & WS_TABSTOP) == 0) continue;
    const int id = GetDlgCtrlID(c);
    seen.push_back(id);
    HRESULT result = S_OK;
    const std::wstring name = AccessibleName(c, result);
    if (id == 1022) {
      const std::string said = name.empty() ? std::string("nothing") : Utf8(name);
      Note(page + ": oleacc names the license box " + said + " (result " + std::to_string(result) + ")");
      HWND label = LabelBefore(c);
      WT_CHECK(label != nullptr);
      if (label == nullptr) continue;
      Note(page + ": the license box's label reads \"" + Utf8(TextW(label)) + "\"");
      WT_CHECK_EQ(TextGbk(label), std::string("安装前请阅读以下内容"));
      WT_CHECK_EQ(TextGbk(label), ItemText(w, 1005));
      // The label changes nothing on screen, nor where Tab goes.
      WT_CHECK(!IsWindowVisible(label));
      WT_CHECK((GetWindowLongW(label, GWL_STYLE) & (WS_TABSTOP | WS_GROUP)) == 0);
    } else {
      Note(page + ": control " + std::to_string(id) + " is named \"" + Utf8(name) + "\"");
      WT_CHECK_EQ(result, S_OK);
      WT_CHECK(!name.empty());
      WT_CHECK(name == TextW(c));
    }
  }
  WT_CHECK(seen == reachable);
}

// ---- whole texts ----

// Opens the about box over the wizard's license page, has text_fit.dll
// measure inside the program every text each page and the about box show,
// with the control's own font and wrapping, and closes the box again: no
// text may need more room than its control has.
void CheckTextsFit(Program& p, const std::string& dpi) {
  PostMessageW(p.window, WM_SYSCOMMAND, 0x0010, 0);
  HWND about = FindWindowOf(p.pid(), Wide("关于 Vornell"), 10000);
  WT_CHECK(about != nullptr);
  if (about == nullptr) return;
  Sleep(500);
  WT_CHECK(SaveScreenshot(about, "about-" + dpi));
  const std::wstring result = L"C:\\text-fit.txt";
  DeleteFileW(result.c_str());
  WT_CHECK(LoadLibraryInto(p.pi.hProcess, HelperDll(L"text_fit\\text_fit.dll"), 10000));
  std::wstring lines;
  WT_CHECK(WaitUntil([&] {
    lines = ReadFileWide(result);
    return ValueOf(lines, L"end") == L"1";
  }, 10000));
  WT_CHECK_EQ(Utf8(ValueOf(lines, L"about")), std::string("yes"));
  // What some page shows: the buttons, the heading, the header lines, the
  // status line, the check boxes; and the whole about box.
  std::vector<std::wstring> keys;
  for (int id : {1001, 1002, 1005, 1009, 1014, 1018, 1019, 1020})
    for (int i = 0; i < 8; ++i) keys.push_back(std::to_wstring(id) + L"." + std::to_wstring(i));
  for (int i = 0; i < 8; ++i) keys.push_back(L"about." + std::to_wstring(i));
  int measured = 0;
  for (const std::wstring& key : keys) {
    const std::wstring need = ValueOf(lines, key + L".need"), room = ValueOf(lines, key + L".room");
    if (need.find(L"<missing>") != std::wstring::npos) continue;
    ++measured;
    int needW = 0, needH = 0, roomW = 0, roomH = 0;
    swscanf(need.c_str(), L"%dx%d", &needW, &needH);
    swscanf(room.c_str(), L"%dx%d", &roomW, &roomH);
    const bool fits = needW <= roomW && needH <= roomH;
    Note(dpi + ": " + Utf8(key) + " \"" + Utf8(ValueOf(lines, key + L".text")) + "\" needs " + Utf8(need) + ", has " +
         Utf8(room) + (fits ? "" : "  <- cut off"));
    WT_CHECK(fits);
  }
  // Six pages' captions and status lines, the fixed texts, three in the about box.
  WT_CHECK(measured >= 20);
  PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WT_CHECK(WaitUntil([&] { return !IsWindow(about); }, 5000));
}

// ---- high DPI ----

// How tall the drawing in a control is on screen: from the first to the last
// row where the screen differs from the picture, whatever font was asked for.
int InkHeight(const Page& p, int id) {
  const RECT r = ItemClientRect(p.dialog, id);
  int top = -1, bottom = -1;
  for (int y = std::max(0L, r.top); y < r.bottom && y < p.shot.height; ++y) {
    for (int x = std::max(0L, r.left); x < r.right && x < p.shot.width; ++x) {
      if (p.shot.at(x, y) == p.picture->at(x, y)) continue;
      if (top < 0) top = y;
      bottom = y;
      break;
    }
  }
  return top < 0 ? 0 : bottom - top + 1;
}

struct HeaderHeights {
  int model = 0, welcome = 0, logo = 0;
  int client = 0;  // the client area's height
};

HeaderHeights MeasureHeader(const Page& p) {
  HeaderHeights h{InkHeight(p, 1009), InkHeight(p, 1014), InkHeight(p, 1016), p.shot.height};
  Note(p.name + ": drawn heights: header " + std::to_string(h.model) + ", welcome " + std::to_string(h.welcome) +
       ", logo " + std::to_string(h.logo) + " px; client area " + std::to_string(p.shot.width) + " x " +
       std::to_string(p.shot.height));
  return h;
}

// At 150 % the program, DPI-aware and so not scaled by the system, draws its
// header lines and its logo in proportion with the dialog, which grows with
// its dialog units.
void CheckAt144Dpi(const HeaderHeights& at96) {
  WT_CHECK(SetDpiForNewPrograms(144));
  Program p;
  ClientPixels picture;
  if (OpenLicensePage(p, picture)) {
    const Page page = Photograph(p.window, "paint-license-144dpi", picture);
    CheckBackground(page);
    const HeaderHeights at144 = MeasureHeader(page);
    // The header's font is 1.5 times as tall: so is its text, within a pixel.
    // (The welcome line's stand-in font draws its glyphs less evenly: 15 px
    // at 96 DPI, 21 at 144; it is shown, not judged.)
    WT_CHECK(std::abs(2 * at144.model - 3 * at96.model) <= 2);
    // The logo grows as the dialog does, within a pixel each for the
    // control's rounding to whole pixels and for the stretch.
    const double grown = static_cast<double>(at96.logo) * at144.client / at96.client;
    Note("logo at 144 DPI: " + std::to_string(at144.logo) + " px drawn, " + std::to_string(grown) + " wanted");
    WT_CHECK(std::abs(at144.logo - grown) <= 2.0);
    CheckTextsFit(p, "144dpi");
    p.Kill();
  }
  // And at 125 %, between the two.
  WT_CHECK(SetDpiForNewPrograms(120));
  Program p120;
  if (StartVornell(p120)) {
    WT_CHECK(WaitUntil([&] { return ItemVisible(p120.window, 1022); }, 10000));
    Sleep(1000);
    WT_CHECK(SaveScreenshot(p120.window, "paint-license-120dpi"));
    CheckTextsFit(p120, "120dpi");
    p120.Kill();
  }
  WT_CHECK(SetDpiForNewPrograms(0));
}

// ---- drawing objects of another process ----

// Wine answers GetGuiResources with 0 (not implemented); its GDI handle table
// is per process and the PEB points to it, as on Windows: count the entries in use.
struct GdiTable {
  bool read = false;
  long inUse = 0;
  std::map<int, long> byType;
  std::vector<unsigned short> unique;  // generation of each entry, changed at every reuse
};

struct GdiEntry {  // the layout of Wine's and Windows' GDI_HANDLE_ENTRY on x64
  unsigned long long object;
  unsigned long owner;
  unsigned short unique;
  unsigned char type;
  unsigned char flags;
  unsigned long long user;
};
static_assert(sizeof(GdiEntry) == 24);
constexpr size_t kGdiEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = 0xF8;

GdiTable ReadGdiTable(HANDLE process) {
  GdiTable t;
  using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<QueryFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic{};
  if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return t;
  unsigned long long table = 0;
  SIZE_T done = 0;
  if (!ReadProcessMemory(process, static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + kPebGdiTableOffset,
                         &table, sizeof table, &done) ||
      table == 0)
    return t;
  std::vector<GdiEntry> entries(kGdiEntries);
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size() * sizeof(GdiEntry),
                         &done))
    return t;
  t.read = true;
  t.unique.resize(kGdiEntries);
  for (size_t i = 0; i < kGdiEntries; ++i) {
    if (entries[i].type != 0) {
      ++t.inUse;
      ++t.byType[entries[i].type];
    }
    t.unique[i] = entries[i].unique;
  }
  return t;
}

std::string TypeChanges(const GdiTable& before, const GdiTable& after) {
  std::map<int, long> d;
  for (const auto& [type, n] : after.byType) d[type] += n;
  for (const auto& [type, n] : before.byType) d[type] -= n;
  std::string out;
  for (const auto& [type, n] : d)
    if (n != 0) out += " type " + std::to_string(type) + ": " + (n > 0 ? "+" : "") + std::to_string(n);
  return out.empty() ? " none" : out;
}

long ReusedEntries(const GdiTable& before, const GdiTable& after) {
  long n = 0;
  for (size_t i = 0; i < before.unique.size() && i < after.unique.size(); ++i) n += before.unique[i] != after.unique[i];
  return n;
}

// The counting itself, tried on this process: five brushes more, then as before.
bool GdiCountingWorks() {
  const GdiTable before = ReadGdiTable(GetCurrentProcess());
  if (!before.read) return false;
  HBRUSH brushes[5];
  for (int i = 0; i < 5; ++i) brushes[i] = CreateSolidBrush(RGB(i, 1, 2));
  const GdiTable with = ReadGdiTable(GetCurrentProcess());
  for (HBRUSH b : brushes) DeleteObject(b);
  const GdiTable after = ReadGdiTable(GetCurrentProcess());
  Note("GDI objects of this process: " + std::to_string(before.inUse) + ", with five brushes " +
       std::to_string(with.inUse) + ", after deleting them " + std::to_string(after.inUse));
  return with.inUse == before.inUse + 5 && after.inUse == before.inUse;
}

struct ProcessCounts {
  DWORD gui = 0;
  GdiTable gdi;
  DWORD handles = 0;
  SIZE_T privateBytes = 0;
};

ProcessCounts Counts(HANDLE process) {
  ProcessCounts c;
  c.gui = GetGuiResources(process, GR_GDIOBJECTS);
  c.gdi = ReadGdiTable(process);
  if (!GetProcessHandleCount(process, &c.handles)) Note("GetProcessHandleCount failed, error " + std::to_string(GetLastError()));
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
    c.privateBytes = memory.PrivateUsage;
  else
    Note("GetProcessMemoryInfo failed, error " + std::to_string(GetLastError()));
  return c;
}

void CheckRepaintsLeaveNothing(Program& p, const ClientPixels& picture) {
  WT_CHECK(GdiCountingWorks());
  HANDLE process = p.pi.hProcess;
  const UINT all = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN;
  // Each repaint is proved by what it mends: a spot painted over from this
  // process (Wine lets another process draw on the window) shows the picture
  // again after RedrawWindow.
  const POINT spot{6, 6};
  const COLORREF wanted = picture.at(spot.x, spot.y);
  auto repaint = [&] {
    int mended = 0;
    HDC dc = GetDC(p.window);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    const RECT patch{spot.x - 2, spot.y - 2, spot.x + 3, spot.y + 3};
    for (int i = 0; i < 100; ++i) {
      FillRect(dc, &patch, magenta);
      GdiFlush();
      const bool spoiled = GetPixel(dc, spot.x, spot.y) == RGB(255, 0, 255);
      RedrawWindow(p.window, nullptr, nullptr, all);
      // The program's drawing reaches the screen when Wine flushes its window surface.
      mended += spoiled && WaitUntil([&] { return GetPixel(dc, spot.x, spot.y) == wanted; }, 2000, 2);
    }
    DeleteObject(magenta);
    ReleaseDC(p.window, dc);
    Sleep(300);
    return mended;
  };
  {
    // Left alone, the painted-over spot stays: only a repaint mends it.
    HDC dc = GetDC(p.window);
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    const RECT patch{spot.x - 2, spot.y - 2, spot.x + 3, spot.y + 3};
    FillRect(dc, &patch, magenta);
    GdiFlush();
    Sleep(1000);
    WT_CHECK_EQ(ShowColor(GetPixel(dc, spot.x, spot.y)), ShowColor(RGB(255, 0, 255)));
    DeleteObject(magenta);
    ReleaseDC(p.window, dc);
  }
  const ProcessCounts start = Counts(process);
  WT_CHECK_EQ(repaint(), 100);
  const ProcessCounts before = Counts(process);
  WT_CHECK_EQ(repaint(), 100);
  const ProcessCounts after = Counts(process);
  Note("GetGuiResources(GR_GDIOBJECTS) answers " + std::to_string(before.gui) + " (a stub under Wine)");
  Note("GDI handle table: " + std::to_string(start.gdi.inUse) + " objects, after a hundred repaints " +
       std::to_string(before.gdi.inUse) + " (changes:" + TypeChanges(start.gdi, before.gdi) + "), after another hundred " +
       std::to_string(after.gdi.inUse) + " (changes:" + TypeChanges(before.gdi, after.gdi) + "); entries reused " +
       std::to_string(ReusedEntries(before.gdi, after.gdi)));
  // Wine answers 0 for another process's handle count and memory; shown, not judged.
  Note("kernel handles " + std::to_string(before.handles) + " -> " + std::to_string(after.handles) +
       ", private bytes " + std::to_string(before.privateBytes) + " -> " + std::to_string(after.privateBytes));
  WT_CHECK(before.gdi.read && after.gdi.read);
  WT_CHECK(before.gdi.inUse > 0);
  // Each paint made and freed its memory context and bitmap: entries were reused.
  WT_CHECK(ReusedEntries(before.gdi, after.gdi) > 0);
  // Wine keeps a few objects for a window once it has been painted (a DC, a
  // region, a bitmap: +3, in the first or the second hundred, as it happens);
  // a leak in the paint handler would add at least one object per paint.
  WT_CHECK(after.gdi.inUse - start.gdi.inUse < 10);
}

// ---- control colours, asked from inside the program ----

// Wine does not pass WM_CTLCOLOR* between processes (its message packing
// answers 0 and says "not supported yet"): a probe loaded into the program
// asks for us, with a device context of its own, and writes down the answers.
void CheckControlColours(Program& p) {
  const std::wstring result = L"C:\\colour-probe.txt";
  DeleteFileW(result.c_str());
  const std::wstring dll = BuildFolder() + L"\\tests\\wine\\colour_probe\\colour_probe.dll";
  WT_CHECK(FileExists(dll));
  WT_CHECK(LoadLibraryInto(p.pi.hProcess, dll, 10000));
  std::wstring lines;
  WT_CHECK(WaitUntil([&] {
    lines = ReadFileWide(result);
    return ValueOf(lines, L"end") == L"1";
  }, 10000));
  auto v = [&](const std::wstring& key) { return Gbk(ValueOf(lines, key)); };
  WT_CHECK_EQ(v(L"window"), std::string("yes"));

  // The license box: one brush of the button-face colour, every time, whatever
  // the kind of request; the light blue background colour set on the context.
  const std::string license = v(L"edit.1022.brush");
  WT_CHECK(license != "0" && !license.empty());
  WT_CHECK_EQ(v(L"again.differ"), std::string("0"));
  WT_CHECK_EQ(v(L"gdi.after"), v(L"gdi.before"));
  WT_CHECK(v(L"gdi.before") != "-1");
  WT_CHECK_EQ(v(L"static.1022.brush"), license);
  WT_CHECK(license != v(L"edit.1022.system"));
  WT_CHECK_EQ(v(L"edit.1022.bk"), std::string("FFB464"));
  WT_CHECK_EQ(v(L"edit.1022.mode"), std::to_string(OPAQUE));
  WT_CHECK_EQ(v(L"license.object"), std::to_string(sizeof(LOGBRUSH)));
  WT_CHECK_EQ(v(L"license.style"), std::to_string(BS_SOLID));
  WT_CHECK_EQ(v(L"license.color"), v(L"face"));

  // The transparent set: the hollow stock brush and TRANSPARENT mode, for any kind.
  const std::string hollow = v(L"hollow");
  char ours[32];
  std::snprintf(ours, sizeof ours, "%llX", static_cast<unsigned long long>(
                                               reinterpret_cast<ULONG_PTR>(GetStockObject(NULL_BRUSH))));
  Note("NULL_BRUSH is " + hollow + " in the program, " + ours + " here");
  for (int id : {1004, 1005, 1009, 1014, 1018, 1011, 1012, 1019, 1020}) {
    const std::wstring key = L"static." + std::to_wstring(id);
    WT_CHECK_EQ(v(key + L".brush"), hollow);
    WT_CHECK_EQ(v(key + L".mode"), std::to_string(TRANSPARENT));
    // The base handler ran first and set the system's colour; no colour of ours.
    WT_CHECK_EQ(v(key + L".bk"), v(L"face"));
  }
  for (int id : {1011, 1012, 1019, 1020}) {
    WT_CHECK_EQ(v(L"btn." + std::to_wstring(id) + L".brush"), hollow);
    WT_CHECK_EQ(v(L"btn." + std::to_wstring(id) + L".mode"), std::to_string(TRANSPARENT));
  }
  // Everything else: exactly what the system answers, the context left opaque.
  for (const wchar_t* key : {L"static.1007", L"static.1008", L"static.1010", L"static.1016", L"btn.1001",
                             L"btn.1002", L"btn.1003", L"btn.1010", L"dlg.1001"}) {
    const std::wstring k = key;
    WT_CHECK_EQ(v(k + L".brush"), v(k + L".system"));
    WT_CHECK(v(k + L".brush") != hollow && v(k + L".brush") != license);
    WT_CHECK_EQ(v(k + L".mode"), std::to_string(OPAQUE));
    WT_CHECK_EQ(v(k + L".bk"), v(L"face"));
  }
  Note("control-colour brushes: license box " + license + ", transparent " + hollow + ", buttons " +
       v(L"btn.1001.brush"));
}

}  // namespace

int wmain() {
  CoInitialize(nullptr);
  Program p;
  ClientPixels picture;
  if (!OpenLicensePage(p, picture)) return Finish();
  HWND w = p.window;
  const ClientPixels logo = ProgramBitmap(kLogoBitmap);
  WT_CHECK(!picture.empty());
  if (picture.empty()) return Finish();
  {
    // A picture of one flat colour, or of the face colour, would prove nothing.
    long face = 0;
    for (COLORREF c : picture.pixels) face += c == GetSysColor(COLOR_BTNFACE);
    WT_CHECK(face * 100 < static_cast<long>(picture.pixels.size()));
    WT_CHECK(picture.at(10, 10) != picture.at(10, picture.height - 10));
  }

  // The license page.
  HeaderHeights header96;
  {
    const Page page = Photograph(w, "paint-license", picture);
    CheckBackground(page);
    for (int id : {1005, 1009, 1014}) CheckTransparent(page, id);
    for (int id : {1001, 1002}) CheckButton(page, id);
    CheckLogo(page, logo);
    header96 = MeasureHeader(page);
  }
  CheckScreenReaderNames(w, "license", {1001, 1002, 1022});
  CheckTextsFit(p, "96dpi");
  CheckControlColours(p);
  CheckRepaintsLeaveNothing(p, picture);
  CheckHighContrastSwitch(p, "paint-license", {1005, 1009, 1014}, picture, logo);
  {
    const Page page = Photograph(w, "paint-license-repainted", picture);
    CheckBackground(page);
  }

  // No printer: the retry page.
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForText(w, 1018, kRetry, 30000));
  WT_CHECK(WaitUntil([&] { return ItemEnabled(w, 1001); }, 10000));
  {
    const Page page = Photograph(w, "paint-retry", picture);
    CheckBackground(page);
    for (int id : {1018, 1009, 1014}) CheckTransparent(page, id);
    for (int id : {1001, 1002}) CheckButton(page, id);
  }
  CheckScreenReaderNames(w, "retry", {1001, 1002});

  // The printer is attached: the connection page.
  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForText(w, 1018, kFound, 30000));
  WT_CHECK(WaitUntil([&] { return ItemEnabled(w, 1001); }, 10000));
  {
    const Page page = Photograph(w, "paint-connection", picture);
    CheckBackground(page);
    CheckTransparent(page, 1018);
    CheckButton(page, 1001);
  }
  CheckHighContrastSwitch(p, "paint-connection", {1018}, picture, logo);
  CheckScreenReaderNames(w, "connection", {1001, 1002});

  // The install page, while the registration wait runs (7 s before its first look).
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForText(w, 1018, kInstalling, 30000));
  WT_CHECK(WaitUntil([&] { return ItemVisible(w, 1008); }, 10000));
  Sleep(1500);
  {
    const Page page = Photograph(w, "paint-install", picture);
    CheckBackground(page);
    CheckTransparent(page, 1018);
    CheckProgressBar(page);
  }
  // Wine makes no queue of its own; the wait finds this one.
  AddQueue(Wide("Orvane RX730TⅡ"));

  // The success page with its two check boxes.
  WT_CHECK(WaitForText(w, 1018, kSuccess, 90000));
  WT_CHECK(WaitUntil([&] { return ItemVisible(w, 1019) && ItemText(w, 1001) == "完成"; }, 10000));
  {
    const Page page = Photograph(w, "paint-success", picture);
    CheckBackground(page);
    for (int id : {1018, 1019, 1020}) CheckTransparent(page, id);
    CheckButton(page, 1001);
    CheckLogo(page, logo);
  }
  CheckHighContrastSwitch(p, "paint-success", {1018, 1019, 1020}, picture, logo);
  CheckScreenReaderNames(w, "success", {1001, 1019, 1020});

  p.Kill();
  CheckAt144Dpi(header96);
  return Finish();
}
