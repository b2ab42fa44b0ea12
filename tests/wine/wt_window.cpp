// The real window: caption, size, position, styles, every control of the
// template, the default Cancel processing and the about box.
#include <cstring>

#include "res/layout.h"
#include "tests/wine/driver.h"
#include "tests/wine/template_reader.h"

using namespace wt;

namespace {

// The template that the resource compiler built says what the layout table says.
void CheckTemplateMatchesTable(const vornell::DialogLayout& layout) {
  const DialogTemplate t = ReadDialogTemplate(ProgramPath(), layout.id);
  WT_CHECK(t.found);
  if (!t.found) return;
  WT_CHECK_EQ(t.style, layout.style);
  WT_CHECK_EQ(t.exStyle, layout.exStyle);
  WT_CHECK_EQ(t.x, layout.x);
  WT_CHECK_EQ(t.y, layout.y);
  WT_CHECK_EQ(t.cx, layout.width);
  WT_CHECK_EQ(t.cy, layout.height);
  WT_CHECK_EQ(Gbk(t.caption), std::string(layout.caption));
  WT_CHECK_EQ(Gbk(t.font), std::string(layout.fontFace));
  WT_CHECK_EQ(t.pointSize, layout.fontPoints);
  WT_CHECK_EQ(t.charset, 1);
  WT_CHECK_EQ(t.items.size(), layout.controls.size());
  for (size_t i = 0; i < t.items.size() && i < layout.controls.size(); ++i) {
    const TemplateItem& item = t.items[i];
    const vornell::ControlLayout& want = layout.controls[i];
    WT_CHECK_EQ(item.id, want.id);
    WT_CHECK_EQ(item.style, want.style);
    WT_CHECK_EQ(item.exStyle, 0u);
    WT_CHECK_EQ(item.x, want.x);
    WT_CHECK_EQ(item.y, want.y);
    WT_CHECK_EQ(item.cx, want.width);
    WT_CHECK_EQ(item.cy, want.height);
    WT_CHECK(_wcsicmp(item.windowClass.c_str(), Wide(want.windowClass).c_str()) == 0);
    if (want.imageId != 0) {
      WT_CHECK_EQ(item.textOrdinal, want.imageId);
    } else {
      WT_CHECK_EQ(Gbk(item.text), std::string(want.text));
    }
  }
}

void CheckLiveWindow(HWND w) {
  const vornell::DialogLayout& layout = vornell::MainDialogLayout();
  WT_CHECK_EQ(TextGbk(w), std::string(layout.caption));

  RECT client{};
  GetClientRect(w, &client);
  const RECT want = DialogUnitsToPixels(0, 0, layout.width, layout.height);
  WT_CHECK_EQ(client.right, want.right);
  WT_CHECK_EQ(client.bottom, want.bottom);
  Note("client area " + std::to_string(client.right) + " x " + std::to_string(client.bottom) + " px");

  RECT frame{}, work{};
  GetWindowRect(w, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int dx = (frame.left + frame.right) / 2 - (work.left + work.right) / 2;
  const int dy = (frame.top + frame.bottom) / 2 - (work.top + work.bottom) / 2;
  WT_CHECK(dx >= -1 && dx <= 1);
  WT_CHECK(dy >= -1 && dy <= 1);

  const LONG style = GetWindowLongW(w, GWL_STYLE);
  const LONG ex = GetWindowLongW(w, GWL_EXSTYLE);
  WT_CHECK((style & WS_MINIMIZEBOX) == 0);
  WT_CHECK((style & WS_MAXIMIZEBOX) == 0);
  WT_CHECK((style & WS_THICKFRAME) == 0);
  WT_CHECK((style & WS_SYSMENU) != 0);
  WT_CHECK((ex & WS_EX_APPWINDOW) != 0);

  // Children in template order, each of its class, at its place.
  HWND child = GetWindow(w, GW_CHILD);
  for (const vornell::ControlLayout& c : layout.controls) {
    WT_CHECK(child != nullptr);
    if (child == nullptr) break;
    WT_CHECK_EQ(GetDlgCtrlID(child), c.id);
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    WT_CHECK(_wcsicmp(cls, Wide(c.windowClass).c_str()) == 0);
    LONG cs = GetWindowLongW(child, GWL_STYLE);
    // Next has the focus on the license page, which makes it the default
    // button: Enter accepts the license.
    if (c.id == 1001) {
      WT_CHECK_EQ(static_cast<unsigned>(cs) & BS_TYPEMASK, static_cast<unsigned>(BS_DEFPUSHBUTTON));
      cs &= ~static_cast<LONG>(BS_DEFPUSHBUTTON);
    }
    // The wizard shows and hides controls; the rest of the style is the
    // template's, except where the control itself rewrites it when created
    // (the progress bar draws its own border, the rich-edit box its own bars).
    if (c.kind != vornell::ControlKind::kProgress && c.kind != vornell::ControlKind::kRichEdit) {
      WT_CHECK_EQ(static_cast<unsigned>(cs) & ~static_cast<unsigned>(WS_VISIBLE),
                  c.style & ~static_cast<unsigned>(WS_VISIBLE));
    }
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
    const RECT px = DialogUnitsToPixels(c.x, c.y, c.width, c.height);
    // Pictures too: stretched to their controls, they keep the template's size.
    WT_CHECK_EQ(r.left, px.left);
    WT_CHECK_EQ(r.top, px.top);
    WT_CHECK_EQ(r.right, px.right);
    WT_CHECK_EQ(r.bottom, px.bottom);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  // Texts that the start-up leaves as the template has them.
  for (int id : {1003, 1004, 1005, 1010, 1011, 1012, 1014, 1018, 1019, 1020}) {
    for (const vornell::ControlLayout& c : layout.controls)
      if (c.id == id) WT_CHECK_EQ(ItemText(w, id), std::string(c.text));
  }
}

void CheckAboutBox(Program& p) {
  const std::wstring aboutCaption = Wide("关于 Vornell");
  // Minimise is not the about command, though it shares the low bits' mask.
  PostMessageW(p.window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  WT_CHECK(WaitUntil([&] { return IsIconic(p.window) != FALSE; }, 5000));
  WT_CHECK(FindWindowOf(p.pid(), aboutCaption, 1000) == nullptr);
  PostMessageW(p.window, WM_SYSCOMMAND, SC_RESTORE, 0);
  WT_CHECK(WaitUntil([&] { return IsIconic(p.window) == FALSE; }, 5000));

  PostMessageW(p.window, WM_SYSCOMMAND, 0x0010, 0);
  HWND about = FindWindowOf(p.pid(), aboutCaption, 10000);
  WT_CHECK(about != nullptr);
  if (about == nullptr) return;
  WT_CHECK_EQ(ItemText(about, IDOK), std::string("确定"));
  bool sawVersion = false;
  for (HWND c = GetWindow(about, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT))
    if (TextGbk(c) == "Vornell，1.0 版") sawVersion = true;
  WT_CHECK(sawVersion);
  SaveScreenshot(about, "about");
  PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WT_CHECK(WaitUntil([&] { return !IsWindow(about); }, 5000));
  WT_CHECK(p.Running());
}

bool ScreenshotIsNotBlank(const std::string& name) {
  wchar_t dir[1024] = {};
  GetEnvironmentVariableW(L"VORNELL_SHOTS", dir, 1024);
  const std::string bmp = ReadFileBytes(std::wstring(dir) + L"\\" + Wide(name) + L".bmp");
  if (bmp.size() < 54 + 3) return false;
  // Count the distinct colours of a sample of pixels.
  const unsigned char* px = reinterpret_cast<const unsigned char*>(bmp.data()) + 54;
  const size_t n = (bmp.size() - 54) / 3;
  int distinct = 0;
  unsigned seen[64] = {};
  for (size_t i = 0; i < n && distinct < 64; i += 97) {
    const unsigned c = px[i * 3] | (px[i * 3 + 1] << 8) | (px[i * 3 + 2] << 16);
    bool dup = false;
    for (int k = 0; k < distinct; ++k) dup = dup || seen[k] == c;
    if (!dup) seen[distinct++] = c;
  }
  return distinct > 8;
}

}  // namespace

int wmain() {
  CheckTemplateMatchesTable(vornell::MainDialogLayout());
  CheckTemplateMatchesTable(vornell::AboutDialogLayout());

  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  Sleep(1500);  // let the first page paint
  CheckLiveWindow(p.window);
  WT_CHECK(SaveScreenshot(p.window, "window"));
  WT_CHECK(ScreenshotIsNotBlank("window"));
  CheckAboutBox(p);

  // Escape is the default Cancel processing: the program ends, no question asked.
  PostMessageW(Item(p.window, 1002), WM_KEYDOWN, VK_ESCAPE, 0);
  WT_CHECK(p.WaitExit(10000) != STILL_ACTIVE);
  WT_CHECK(WaitForMessageBox(p.pid(), p.window, 500) == nullptr);
  return Finish();
}
