#pragma once
// Our small stand-in for the framework's dialog class: a modal dialog made
// from a template of the program's resources, a message map that routes
// messages and button clicks to members, and the few window operations the
// wizard needs, all by control ID. Texts are GBK byte strings throughout.
//
// Two implementations: framework/win32 (real windows) and framework/headless
// (an in-memory window for the native tests). The routing below is shared.
#include <cstdint>
#include <memory>
#include <string>

#include "framework/win_values.h"

namespace vornell {

class Dialog;

// One row of a message map. A row answers the messages first..last, or, for
// WM_COMMAND rows, the notification `code` from the control `id`.
struct MessageMapEntry {
  unsigned first;
  unsigned last;
  unsigned code;
  int id;
  LResult (*handler)(Dialog&, unsigned message, WParam, LParam);
};

struct MessageMap {
  const MessageMap* base;        // nullptr for the root
  const MessageMapEntry* entries;  // ends with a row whose handler is null
};

// A control-colour request as the window system hands it to the dialog.
struct CtlColorRequest {
  unsigned message;  // WM_CTLCOLORSTATIC, WM_CTLCOLORBTN, ...
  DcHandle dc;
  WindowHandle control;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

struct FontSpec {
  int height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  bool italic = false, underline = false, strikeOut = false;
  unsigned charSet = 0, outPrecision = 0, clipPrecision = 0, quality = 0;
  unsigned pitchAndFamily = 0;
  std::string face;  // GBK
};

// A worker thread's procedure: one pointer argument, a 32-bit exit code.
using WorkerProc = std::uint32_t (*)(void*);

enum class WorkerWait {
  kEnded,        // the thread ran and has ended
  kStartFailed,  // no thread could be started
  kWaitFailed,   // the wait itself failed; the thread's end was not seen
};

class Dialog {
 public:
  explicit Dialog(int templateId);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  int TemplateId() const { return templateId_; }

  // Runs the dialog modally; returns the value given to EndDialog.
  std::intptr_t DoModal();
  void EndDialog(std::intptr_t result);
  WindowHandle GetSafeHwnd() const;

  // Controls by ID.
  void ShowItem(int id, bool show);
  bool IsItemVisible(int id) const;
  void EnableItem(int id, bool enable);
  bool IsItemEnabled(int id) const;
  void SetItemText(int id, const std::string& text);
  std::string GetItemText(int id) const;
  LResult SendItemMessage(int id, unsigned message, WParam w = 0, LParam l = 0);
  // Replaces the whole text of a rich-edit box with one set-text message.
  void SetRichEditText(int id, const std::string& text);

  // Keyboard focus. Disabling the focused control leaves the focus nowhere,
  // and Enter, Tab and Escape with it, so a page parks it on the dialog
  // first and hands it to a button again when the page is ready.
  bool ItemHasFocus(int id) const;
  // WM_NEXTDLGCTL: a push button given the focus also becomes the default.
  void FocusItem(int id);
  void FocusDialog();
  // Drops the mouse (on the frame too), touch, pen and keyboard input that
  // queued while this thread was busy. Windows matches queued input to a
  // window only when it is taken out, so a click on a disabled button would
  // land on whatever has been enabled under it since.
  void DiscardQueuedInput();

  // The window itself.
  LResult SendMessageToSelf(unsigned message, WParam w = 0, LParam l = 0);
  void UpdateWindow();
  bool IsIconic() const;
  Rect GetClientRect() const;
  // Pixels per logical inch of the window (96 at 100 %). The program is
  // DPI-aware, so whatever is sized in pixels must be scaled by this.
  unsigned WindowDpi() const;
  // The control's rectangle in the dialog's client coordinates.
  Rect GetItemClientRect(int id) const;
  void MoveItem(int id, const Rect& area);
  // How wide the control's text is on one line, in pixels, in its own font.
  int ItemTextWidth(int id) const;
  void InvalidateRect(const Rect& area, bool erase);
  // Erases and repaints the window, its frame and every control, at once.
  void RedrawAll();
  // Sends a message to every control. Only top-level windows hear of new
  // system colours, and the common controls keep copies of theirs.
  void SendToEveryItem(unsigned message, WParam w = 0, LParam l = 0);
  // Whether the user has switched high contrast on (SPI_GETHIGHCONTRAST).
  static bool HighContrastOn();

  // System menu (nullptr when the window has none) and resources.
  void* GetSystemMenu(bool revert);
  bool AppendMenuItem(void* menu, unsigned flags, unsigned id, const std::string& text);
  std::string LoadResourceString(int id) const;
  IconHandle LoadResourceIcon(int id) const;
  FontHandle CreateFontFrom(const FontSpec& font);

  // Message boxes owned by this dialog. AppMessageBox has the application
  // title as caption, as the framework's standard message box does.
  int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type);
  int AppMessageBox(const std::string& text, unsigned type);

  // A timer of this window: WM_TIMER with `id` every `ms` until stopped.
  // Starting it again restarts its count.
  void StartTimer(unsigned id, unsigned ms);
  void StopTimer(unsigned id);
  // The device path a WM_DEVICECHANGE broadcast of a device interface
  // carries (DEV_BROADCAST_DEVICEINTERFACE_W); false for any other kind.
  // Non-ASCII characters, which device paths do not hold, become '?'.
  static bool DeviceInterfacePath(LParam broadcast, std::string& path);

  // Starts `proc(arg)` on a thread of its own and waits for its end while
  // the dialog's messages keep being dispatched.
  WorkerWait WaitForWorker(WorkerProc proc, void* arg);

  // Painting. A PaintScope is the begin/end-paint pair of one WM_PAINT.
  class PaintScope {
   public:
    explicit PaintScope(Dialog& dialog);
    ~PaintScope();
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    DcHandle dc() const { return dc_; }

   private:
    Dialog& dialog_;
    DcHandle dc_ = nullptr;
    [[maybe_unused]] void* state_ = nullptr;  // the win32 half keeps its PAINTSTRUCT here
  };
  static void SystemIconSize(int& width, int& height);
  void DrawIconAt(DcHandle dc, int x, int y, IconHandle icon);
  // The bitmap resource stretched over the whole client area (COLORONCOLOR,
  // SRCCOPY). It is stretched once, straight from the program's image, into
  // a copy of the client's size that the dialog keeps; later paints copy it.
  void PaintStretchedBitmap(DcHandle dc, int bitmapId);
  // The whole client area in a system colour.
  void FillClientWithSysColor(DcHandle dc, int sysColor);

  // Control colours.
  int ControlId(WindowHandle control) const;
  void SetDcBkColor(DcHandle dc, ColorRef color);
  void SetDcBkMode(DcHandle dc, int mode);
  void SetDcTextColor(DcHandle dc, ColorRef color);
  static ColorRef SysColor(int sysColor);
  // The system's own brush of a system colour: shared, never deleted.
  static BrushHandle SysColorBrush(int sysColor);
  static BrushHandle StockHollowBrush();
  static BrushHandle CreateSysColorBrush(int sysColor);
  static void DeleteBrush(BrushHandle brush);

  // Routes one message through the map; false when no row answered it.
  // Both implementations call it for every message the dialog receives.
  bool RouteMessage(unsigned message, WParam w, LParam l, LResult& result);

  static const MessageMap& ClassMessageMap();

  struct Impl;
  Impl& impl() const { return *impl_; }

 protected:
  virtual const MessageMap& GetMessageMap() const { return ClassMessageMap(); }
  // Called once the window and its controls exist; true lets the system set the focus.
  virtual bool OnInitDialog() { return true; }
  // The default OK and Cancel processing: end the dialog.
  virtual void OnOK() { EndDialog(kIdOk); }
  virtual void OnCancel() { EndDialog(kIdCancel); }
  // The default control colours (what the window system answers unrouted).
  virtual BrushHandle OnCtlColor(const CtlColorRequest& request);
  // What an unrouted message gets.
  LResult Default(unsigned message, WParam w, LParam l);

 private:
  friend struct Impl;
  static LResult OnOkThunk(Dialog&, unsigned, WParam, LParam);
  static LResult OnCancelThunk(Dialog&, unsigned, WParam, LParam);

  int templateId_;
  std::unique_ptr<Impl> impl_;

 public:
  // For the implementations only.
  bool CallOnInitDialog() { return OnInitDialog(); }
};

// Adapters from a row of the map to the member that answers it.
namespace map_thunks {
template <class D, void (D::*F)()>
LResult Plain(Dialog& d, unsigned, WParam, LParam) {
  (static_cast<D&>(d).*F)();
  return 0;
}
template <class D, void (D::*F)(unsigned, LParam)>
LResult SysCommand(Dialog& d, unsigned, WParam w, LParam l) {
  (static_cast<D&>(d).*F)(static_cast<unsigned>(w), l);
  return 0;
}
template <class D, IconHandle (D::*F)()>
LResult ReturnsIcon(Dialog& d, unsigned, WParam, LParam) {
  return reinterpret_cast<LResult>((static_cast<D&>(d).*F)());
}
template <class D, void (D::*F)(unsigned)>
LResult WithWParam(Dialog& d, unsigned, WParam w, LParam) {
  (static_cast<D&>(d).*F)(static_cast<unsigned>(w));
  return 0;
}
template <class D, void (D::*F)(unsigned, LParam)>
LResult DeviceChange(Dialog& d, unsigned, WParam w, LParam l) {
  (static_cast<D&>(d).*F)(static_cast<unsigned>(w), l);
  return 1;  // TRUE: no request of the system is refused
}
template <class D, BrushHandle (D::*F)(const CtlColorRequest&)>
LResult CtlColor(Dialog& d, unsigned message, WParam w, LParam l) {
  const CtlColorRequest request{message, reinterpret_cast<DcHandle>(w),
                                reinterpret_cast<WindowHandle>(l)};
  return reinterpret_cast<LResult>((static_cast<D&>(d).*F)(request));
}
}  // namespace map_thunks

}  // namespace vornell

#define DECLARE_MESSAGE_MAP()                                             \
 protected:                                                               \
  const ::vornell::MessageMap& GetMessageMap() const override {           \
    return ClassMessageMap();                                             \
  }                                                                       \
                                                                          \
 public:                                                                  \
  static const ::vornell::MessageMap& ClassMessageMap();

#define BEGIN_MESSAGE_MAP(Class, Base)                                    \
  const ::vornell::MessageMap& Class::ClassMessageMap() {                 \
    using ThisClass = Class;                                              \
    using BaseClass = Base;                                               \
    static const ::vornell::MessageMapEntry entries[] = {
#define END_MESSAGE_MAP()                                                 \
  {0, 0, 0, 0, nullptr}                                                   \
  };                                                                      \
  static const ::vornell::MessageMap map{&BaseClass::ClassMessageMap(),   \
                                         entries};                        \
  return map;                                                             \
  }

#define ON_WM_PAINT()                                                     \
  {::vornell::msg::kPaint, ::vornell::msg::kPaint, 0, 0,                  \
   &::vornell::map_thunks::Plain<ThisClass, &ThisClass::OnPaint>},
#define ON_WM_SYSCOMMAND()                                                \
  {::vornell::msg::kSysCommand, ::vornell::msg::kSysCommand, 0, 0,        \
   &::vornell::map_thunks::SysCommand<ThisClass, &ThisClass::OnSysCommand>},
#define ON_WM_QUERYDRAGICON()                                             \
  {::vornell::msg::kQueryDragIcon, ::vornell::msg::kQueryDragIcon, 0, 0,  \
   &::vornell::map_thunks::ReturnsIcon<ThisClass,                         \
                                       &ThisClass::OnQueryDragIcon>},
#define ON_WM_CTLCOLOR()                                                  \
  {::vornell::msg::kCtlColorMsgBox, ::vornell::msg::kCtlColorStatic, 0, 0, \
   &::vornell::map_thunks::CtlColor<ThisClass, &ThisClass::OnCtlColor>},
#define ON_WM_SYSCOLORCHANGE()                                            \
  {::vornell::msg::kSysColorChange, ::vornell::msg::kSysColorChange, 0, 0, \
   &::vornell::map_thunks::Plain<ThisClass, &ThisClass::OnSysColorChange>},
#define ON_WM_SETTINGCHANGE()                                             \
  {::vornell::msg::kSettingChange, ::vornell::msg::kSettingChange, 0, 0,  \
   &::vornell::map_thunks::WithWParam<ThisClass, &ThisClass::OnSettingChange>},
#define ON_WM_TIMER()                                                     \
  {::vornell::msg::kTimer, ::vornell::msg::kTimer, 0, 0,                  \
   &::vornell::map_thunks::WithWParam<ThisClass, &ThisClass::OnTimer>},
#define ON_WM_DEVICECHANGE()                                              \
  {::vornell::msg::kDeviceChange, ::vornell::msg::kDeviceChange, 0, 0,    \
   &::vornell::map_thunks::DeviceChange<ThisClass, &ThisClass::OnDeviceChange>},
#define ON_BN_CLICKED(id, member)                                         \
  {::vornell::msg::kCommand, ::vornell::msg::kCommand,                    \
   ::vornell::kBnClicked, (id),                                           \
   &::vornell::map_thunks::Plain<ThisClass, &ThisClass::member>},
