#pragma once
// The in-memory window behind Dialog in the native build, and what the unit
// tests use to drive it and to look inside it.
//
// Every control of the template becomes a ControlRecord. Operations the
// program does on the window are applied with the real controls' semantics
// (progress range, clamping and wrap-around; auto check boxes and radio
// groups) and recorded in order in a journal. Message boxes are answered from
// a script; a box with no scripted answer fails the test. Painting and
// control-colour calls go to one process-wide paint log.
//
// Process-wide state (failure hook, modal scripts by template, string table,
// paint log, start-up records) is reset by ResetEnvironment(). The unit-test
// binary does that before every test and routes failures to ADD_FAILURE
// (tests/unit/framework_test.cpp installs the listener).
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/dialog.h"
#include "res/layout.h"

namespace vornell::headless {

// ---------------------------------------------------------------- failures

using FailureHook = std::function<void(const std::string& message)>;
// Null restores the default: print the message and abort.
void SetFailureHook(FailureHook hook);
// Reports a broken expectation of the headless window through the hook.
void Fail(const std::string& message);

// ---------------------------------------------------------------- journal

enum class Op {
  kShowItem,         // w: 1 show, 0 hide
  kEnableItem,       // w: 1 enable, 0 disable
  kSetItemText,      // text
  kSetRichEditText,  // text
  kItemMessage,      // message, w, l, result
  kSelfMessage,      // message, w, l, result (SendMessageToSelf and test input)
  kUpdateWindow,
  kInvalidateRect,
  kRedrawAll,        // window, frame and controls erased and repainted
  kMessageBox,       // text, w: type, result: answer
  kWorkerWait,       // result: static_cast<int>(WorkerWait)
  kEndDialog,        // result
};

struct JournalEntry {
  Op op;
  int id = 0;  // control ID, 0 for the window itself
  unsigned message = 0;
  WParam w = 0;
  LParam l = 0;
  LResult result = 0;
  std::string text;
};

// ---------------------------------------------------------------- controls

struct ControlRecord {
  int id = 0;
  ControlKind kind = ControlKind::kStatic;
  std::string windowClass;
  std::uint32_t style = 0;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units, as in the template
  int imageId = 0;
  WindowHandle handle = nullptr;

  std::string text;  // GBK
  bool visible = false;
  bool enabled = true;
  int check = 0;  // BST_UNCHECKED / BST_CHECKED
  int rangeMin = 0, rangeMax = 100, pos = 0, step = 10;
  FontHandle font = nullptr;  // the dialog font at creation, then WM_SETFONT
  bool fontRedraw = false;
  int setTextCount = 0;  // SetItemText and SetRichEditText calls
  bool moved = false;     // MoveItem placed it at `pixels`, client coordinates
  Rect pixels;
  std::vector<JournalEntry> log;  // this control's part of the journal
};

// What ItemTextWidth answers: so many pixels for each byte of the text.
constexpr int kTextPixelsPerByte = 7;

// ---------------------------------------------------------------- records

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  unsigned type = 0;
  int answer = 0;
  bool scripted = false;  // false: nobody expected it (the test has failed)
};

// Answers one message box; sees the box as shown.
using Answer = std::function<int(const MessageBoxRecord& box)>;

struct WorkerWaitRecord {
  WorkerWait outcome = WorkerWait::kEnded;
  bool ran = false;            // the procedure was run
  std::uint32_t exitCode = 0;  // its result, when it ran
};

struct MenuItem {
  unsigned flags = 0;
  unsigned id = 0;
  std::string text;
};

struct CreatedFont {
  FontSpec request;
  FontHandle handle = nullptr;
};

struct Invalidation {
  Rect area;
  bool erase = false;
};

struct RoutedMessage {
  unsigned message = 0;
  WParam w = 0;
  LParam l = 0;
};

// ---------------------------------------------------------------- painting

enum class PaintOp {
  kBeginPaint,       // dc
  kEndPaint,         // dc
  kDrawIcon,         // dc, x, y, handle: icon
  kStretchBitmap,    // dc, value: bitmap ID, dest: client rect, srcWidth/srcHeight
  kFillSysColor,     // dc, value: system colour, dest: client rect
  kSetBkColor,       // dc, value: colour
  kSetBkMode,        // dc, value: mode
  kSetTextColor,     // dc, value: colour
  kStockHollowBrush, // handle
  kCreateBrush,      // handle, value: system colour
  kDeleteBrush,      // handle
  kBaseCtlColor,     // dc, handle: control, value: message; Dialog::OnCtlColor ran
  kCtlColorRequest,  // dc, handle: control, value: message; sent by a test helper
};

struct PaintCall {
  PaintOp op = PaintOp::kBeginPaint;
  int templateId = 0;  // of the dialog that made the call; 0 for static helpers
  DcHandle dc = nullptr;
  bool dcValid = false;  // dc belonged to an open paint scope or a colour request
  void* handle = nullptr;
  int x = 0, y = 0;
  long value = 0;
  Rect dest;
  int srcWidth = 0, srcHeight = 0;
};

const std::vector<PaintCall>& PaintLog();
void ClearPaintLog();
int BrushesCreated();
int BrushesDeleted();
// Brushes created and not yet deleted.
int LiveBrushes();
// What base Dialog::OnCtlColor and the default processing answer.
BrushHandle DefaultCtlColorBrush();
// The font every control gets when the dialog is created.
FontHandle DialogFont();

// ---------------------------------------------------------------- the window

class HeadlessWindow {
 public:
  explicit HeadlessWindow(Dialog& owner);
  ~HeadlessWindow();
  HeadlessWindow(const HeadlessWindow&) = delete;
  HeadlessWindow& operator=(const HeadlessWindow&) = delete;

  Dialog& dialog() const { return owner_; }
  bool created() const { return created_; }
  bool ended() const { return ended_; }
  std::intptr_t result() const { return result_; }
  int endDialogCalls() const { return endDialogCalls_; }

  // Controls in template order; control() fails the test for an unknown ID.
  const std::vector<ControlRecord>& controls() const { return controls_; }
  std::vector<ControlRecord>& controls() { return controls_; }
  ControlRecord& control(int id);
  ControlRecord* FindControl(int id);
  const ControlRecord* FindControl(WindowHandle handle) const;

  // Everything done to the window, in order.
  const std::vector<JournalEntry>& journal() const { return journal_; }
  // Messages no map row answered.
  const std::vector<RoutedMessage>& defaultProcessing() const { return defaultProcessing_; }
  int updateCount() const { return updateCount_; }
  const std::vector<Invalidation>& invalidations() const { return invalidations_; }

  // Window state the tests set.
  // Running timers: id -> period in ms. Tests fire one by sending WM_TIMER.
  const std::map<unsigned, unsigned>& timers() const { return timers_; }

  void SetIconic(bool iconic) { iconic_ = iconic; }
  bool iconic() const { return iconic_; }
  // Default: the template's size at 6 x 13 dialog base units (1.5 x 1.625 px per unit).
  void SetClientRect(const Rect& rect) { clientRect_ = rect; clientRectSet_ = true; }
  Rect clientRect() const;
  // What WindowDpi answers; default 96. Set it before Open.
  void SetDpi(unsigned dpi) { dpi_ = dpi; }

  // Icons given by WM_SETICON (default processing of the message).
  IconHandle bigIcon() const { return bigIcon_; }
  IconHandle smallIcon() const { return smallIcon_; }

  // System menu: items appended by the program (the system's own are not kept).
  void SetSystemMenuAvailable(bool available) { systemMenuAvailable_ = available; }
  const std::vector<MenuItem>& menuItems() const { return menuItems_; }
  void* systemMenu() const { return menu_; }
  int systemMenuRequests() const { return systemMenuRequests_; }

  const std::vector<CreatedFont>& fonts() const { return fonts_; }
  const std::vector<int>& iconLoads() const { return iconLoads_; }

  // Message boxes: each shown box takes the next scripted answer.
  void ScriptAnswer(int answer);
  void ScriptAnswer(Answer answer);
  std::size_t pendingAnswers() const { return answers_.size(); }
  const std::vector<MessageBoxRecord>& messageBoxes() const { return messageBoxes_; }

  // Worker waits: unscripted waits run the worker and report kEnded. A
  // scripted kStartFailed does not run it; kWaitFailed runs it and reports
  // the failure. `during` runs on the dialog's thread while the worker runs.
  void ScriptWorkerWait(WorkerWait outcome);
  void SetDuringWorkerWait(std::function<void(Dialog&)> during) { duringWait_ = std::move(during); }
  const std::vector<WorkerWaitRecord>& workerWaits() const { return workerWaits_; }

  // Keyboard focus: a control ID, kFocusOnDialog, or kFocusNowhere (as
  // Windows leaves it when the focused control is disabled).
  static constexpr int kFocusOnDialog = 0;
  static constexpr int kFocusNowhere = -1;
  int focus() const { return focus_; }

  // What DoModal plays after OnInitDialog; takes precedence over SetModalScript.
  void SetScript(std::function<void(Dialog&)> script) { script_ = std::move(script); }

 private:
  friend struct ::vornell::Dialog::Impl;
  friend class ::vornell::Dialog;
  friend bool Open(Dialog& dialog);

  void Build();
  void Record(JournalEntry entry);
  ControlRecord* ControlFor(int id, const char* operation);
  LResult ControlMessage(ControlRecord& control, unsigned message, WParam w, LParam l);
  int NextAnswer(MessageBoxRecord& box);

  Dialog& owner_;
  bool created_ = false;
  bool ended_ = false;
  std::intptr_t result_ = -1;
  int endDialogCalls_ = 0;
  WindowHandle handle_ = nullptr;

  std::vector<ControlRecord> controls_;
  std::vector<JournalEntry> journal_;
  std::vector<RoutedMessage> defaultProcessing_;
  int updateCount_ = 0;
  std::vector<Invalidation> invalidations_;

  bool iconic_ = false;
  std::map<unsigned, unsigned> timers_;
  Rect clientRect_;
  bool clientRectSet_ = false;
  unsigned dpi_ = 96;
  IconHandle bigIcon_ = nullptr;
  IconHandle smallIcon_ = nullptr;

  bool systemMenuAvailable_ = true;
  void* menu_ = nullptr;
  int systemMenuRequests_ = 0;
  std::vector<MenuItem> menuItems_;

  std::vector<CreatedFont> fonts_;
  std::vector<int> iconLoads_;

  std::deque<Answer> answers_;
  std::vector<MessageBoxRecord> messageBoxes_;

  std::deque<WorkerWait> workerScript_;
  std::function<void(Dialog&)> duringWait_;
  std::vector<WorkerWaitRecord> workerWaits_;

  std::function<void(Dialog&)> script_;

  int focus_ = kFocusNowhere;
  void SetFocusTo(int focus);
};

HeadlessWindow& Headless(Dialog& dialog);

// ---------------------------------------------------------------- test input

// Creates the window and its controls and runs OnInitDialog, as DoModal does,
// without playing a script; returns OnInitDialog's result.
bool Open(Dialog& dialog);

// A user's click: an auto check box toggles, an auto radio button is checked
// and the other auto radio buttons of its group cleared, then BN_CLICKED is
// routed. Like the real window, a disabled or hidden control still routes;
// false (and a test failure) only for an unknown control or an ended dialog.
bool Click(Dialog& dialog, int id);
// Refuses (returns false, changes nothing) a disabled or hidden control.
bool ClickIfEnabled(Dialog& dialog, int id);

// Escape and the close box: the window system's Cancel command, and
// WM_SYSCOMMAND SC_CLOSE (whose default processing closes with Cancel).
void PressEscape(Dialog& dialog);
void CloseBox(Dialog& dialog);
LResult SysCommand(Dialog& dialog, unsigned command, LParam l = 0);

// WM_PAINT to the dialog.
void Paint(Dialog& dialog);

struct CtlColorAnswer {
  DcHandle dc = nullptr;
  BrushHandle brush = nullptr;
};
// A control-colour request from control `id` with a fresh DC.
CtlColorAnswer RequestCtlColor(Dialog& dialog, int id, unsigned message = msg::kCtlColorStatic);
// WM_PAINT, then a colour request from every visible control that asks for
// one (statics, pictures, check boxes, radio buttons and group boxes as
// static, push buttons as button); the answers in template order.
std::vector<std::pair<int, CtlColorAnswer>> Repaint(Dialog& dialog);

// ---------------------------------------------------------------- environment

// Clears every process-wide record and setting below and the paint log.
void ResetEnvironment();

// Played by DoModal for dialogs of this template that have no SetScript.
void SetModalScript(int templateId, std::function<void(Dialog&)> script);
struct ModalRun {
  int templateId = 0;
  std::intptr_t result = -1;
};
const std::vector<ModalRun>& ModalRuns();

// The string table; by default only 101 "关于 Vornell(&A)...".
void SetResourceString(int id, const std::string& text);
void RemoveResourceString(int id);

// New windows have a system menu unless this says otherwise.
void SetSystemMenuAvailableByDefault(bool available);

// SM_CXICON / SM_CYICON; default 32 x 32.
void SetSystemIconSize(int width, int height);


// Start-up services.
const std::vector<unsigned>& CommonControlsInits();  // the classes of each call
int RichEditInits();
void SetRichEditInitResult(bool result);
// What went to the starting process's console, and the application's
// ownerless message boxes (answered OK). By default there is a console.
const std::vector<std::string>& ConsoleTexts();
void SetStartingConsole(bool present);
const std::vector<std::string>& AppMessageBoxes();
// Their captions (empty: the application title), and the answers the next
// boxes give (OK once none is left).
const std::vector<std::string>& AppMessageCaptions();
void ScriptAppAnswer(int answer);

}  // namespace vornell::headless
