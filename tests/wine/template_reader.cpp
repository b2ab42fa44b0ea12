#include "tests/wine/template_reader.h"

#include <cstring>

namespace wt {

namespace {

class Cursor {
 public:
  Cursor(const BYTE* p, const BYTE* end) : p_(p), end_(end) {}
  bool ok() const { return p_ <= end_; }
  WORD Word() { WORD v = 0; Take(&v, 2); return v; }
  DWORD Dword() { DWORD v = 0; Take(&v, 4); return v; }
  short Short() { return static_cast<short>(Word()); }
  void Align(size_t n, const BYTE* base) {
    size_t off = static_cast<size_t>(p_ - base);
    p_ = base + ((off + n - 1) / n) * n;
  }
  // A sz_Or_Ord field: empty, an ordinal, or a zero-terminated string.
  void StringOrOrdinal(std::wstring& text, int& ordinal) {
    WORD first = Word();
    if (first == 0) return;
    if (first == 0xFFFF) {
      ordinal = Word();
      return;
    }
    text.push_back(static_cast<wchar_t>(first));
    for (WORD c; ok() && (c = Word()) != 0;) text.push_back(static_cast<wchar_t>(c));
  }
  std::wstring String() {
    std::wstring s;
    for (WORD c; ok() && (c = Word()) != 0;) s.push_back(static_cast<wchar_t>(c));
    return s;
  }
  const BYTE* pos() const { return p_; }
  void Skip(size_t n) { p_ += n; }

 private:
  void Take(void* out, size_t n) {
    if (p_ + n > end_) { p_ = end_ + 1; return; }
    std::memcpy(out, p_, n);
    p_ += n;
  }
  const BYTE* p_;
  const BYTE* end_;
};

std::wstring ClassName(int ordinal) {
  switch (ordinal) {
    case 0x80: return L"Button";
    case 0x81: return L"Edit";
    case 0x82: return L"Static";
    case 0x83: return L"ListBox";
    case 0x84: return L"ScrollBar";
    case 0x85: return L"ComboBox";
    default: return L"#" + std::to_wstring(ordinal);
  }
}

}  // namespace

DialogTemplate ReadDialogTemplate(const std::wstring& module, int id) {
  DialogTemplate t;
  HMODULE m = LoadLibraryExW(module.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (m == nullptr) return t;
  HRSRC r = FindResourceW(m, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  HGLOBAL g = r ? LoadResource(m, r) : nullptr;
  const BYTE* base = g ? static_cast<const BYTE*>(LockResource(g)) : nullptr;
  if (base == nullptr) {
    FreeLibrary(m);
    return t;
  }
  Cursor c(base, base + SizeofResource(m, r));
  const WORD version = c.Word(), signature = c.Word();
  if (version != 1 || signature != 0xFFFF) {
    FreeLibrary(m);
    return t;
  }
  c.Dword();  // help ID
  t.exStyle = c.Dword();
  t.style = c.Dword();
  const WORD count = c.Word();
  t.x = c.Short(); t.y = c.Short(); t.cx = c.Short(); t.cy = c.Short();
  std::wstring menu, cls;
  int ord = -1;
  c.StringOrOrdinal(menu, ord);
  c.StringOrOrdinal(cls, ord);
  t.caption = c.String();
  if (t.style & (DS_SETFONT | DS_SHELLFONT)) {
    t.pointSize = c.Word();
    t.weight = c.Word();
    t.italic = *c.pos(); c.Skip(1);
    t.charset = *c.pos(); c.Skip(1);
    t.font = c.String();
  }
  for (WORD i = 0; i < count && c.ok(); ++i) {
    c.Align(4, base);
    TemplateItem item;
    c.Dword();  // help ID
    item.exStyle = c.Dword();
    item.style = c.Dword();
    item.x = c.Short(); item.y = c.Short(); item.cx = c.Short(); item.cy = c.Short();
    item.id = static_cast<int>(c.Dword());
    int classOrdinal = -1;
    c.StringOrOrdinal(item.windowClass, classOrdinal);
    if (classOrdinal >= 0) item.windowClass = ClassName(classOrdinal);
    c.StringOrOrdinal(item.text, item.textOrdinal);
    const WORD extra = c.Word();
    c.Skip(extra);
    t.items.push_back(item);
  }
  t.found = c.ok();
  FreeLibrary(m);
  return t;
}

void DialogBaseUnits(int& cxPer4, int& cyPer8) {
  // An empty DLGTEMPLATEEX with the wizard's font, measured with MapDialogRect.
  alignas(4) BYTE buf[256] = {};
  BYTE* p = buf;
  auto word = [&](WORD v) { std::memcpy(p, &v, 2); p += 2; };
  auto dword = [&](DWORD v) { std::memcpy(p, &v, 4); p += 4; };
  auto str = [&](const wchar_t* s) { do { word(static_cast<WORD>(*s)); } while (*s++); };
  word(1); word(0xFFFF); dword(0); dword(0);
  dword(WS_POPUP | DS_SETFONT | DS_FIXEDSYS | DS_MODALFRAME);
  word(0); word(0); word(0); word(100); word(100);
  word(0); word(0); str(L"");
  word(9); word(0); *p++ = 0; *p++ = 1; str(L"MS Shell Dlg");
  HWND probe = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(buf),
                                          nullptr, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  RECT r{0, 0, 4, 8};
  MapDialogRect(probe, &r);
  cxPer4 = r.right;
  cyPer8 = r.bottom;
  DestroyWindow(probe);
}

RECT DialogUnitsToPixels(int x, int y, int cx, int cy) {
  static int bx = 0, by = 0;
  if (bx == 0) DialogBaseUnits(bx, by);
  // Position and size are each converted, as the dialog manager creates controls.
  const int left = MulDiv(x, bx, 4), top = MulDiv(y, by, 8);
  return RECT{left, top, left + MulDiv(cx, bx, 4), top + MulDiv(cy, by, 8)};
}

}  // namespace wt
