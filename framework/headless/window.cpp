// The in-memory window: controls built from the layout table, the dialog's
// operations applied to them with the real controls' semantics, all recorded.
#include <algorithm>
#include <thread>

#include "framework/app.h"
#include "framework/headless/environment.h"

namespace vornell {

struct Dialog::Impl : headless::HeadlessWindow {
  using HeadlessWindow::HeadlessWindow;
};

}  // namespace vornell

namespace vornell::headless {

namespace {

constexpr std::uint32_t kWsVisible = 0x10000000;
constexpr unsigned kScClose = 0xF060;
// Dialog base units of the template's font, for the pixel rectangles.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;

int MulDivRound(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

bool HasCheckState(ControlKind kind) { return kind == ControlKind::kRadio || kind == ControlKind::kCheckBox; }

// The buttons a box of this type can answer with.
bool IsAnswerOf(unsigned type, int answer) {
  switch (type & 0xF) {
    case 0: return answer == kIdOk;
    case 1: return answer == kIdOk || answer == kIdCancel;
    case 2: return answer == 3 || answer == 4 || answer == 5;  // abort, retry, ignore
    case 3: return answer == kIdYes || answer == kIdNo || answer == kIdCancel;
    case 4: return answer == kIdYes || answer == kIdNo;
    case 5: return answer == 4 || answer == kIdCancel;  // retry, cancel
    case 6: return answer == kIdCancel || answer == 10 || answer == 11;
    default: return false;
  }
}

// The answer that does least harm when nobody expected the box.
int CautiousAnswer(unsigned type) {
  switch (type & 0xF) {
    case 0: return kIdOk;
    case 2: return 3;
    case 4: return kIdNo;
    default: return kIdCancel;
  }
}

std::string Describe(int templateId) { return "template " + std::to_string(templateId); }

}  // namespace

HeadlessWindow::HeadlessWindow(Dialog& owner)
    : owner_(owner), systemMenuAvailable_(detail::SystemMenuAvailableByDefault()) {}

HeadlessWindow::~HeadlessWindow() = default;

HeadlessWindow& Headless(Dialog& dialog) { return dialog.impl(); }

void HeadlessWindow::Build() {
  const DialogLayout* layout = FindDialogLayout(owner_.TemplateId());
  if (layout == nullptr) {
    Fail("no dialog layout for " + Describe(owner_.TemplateId()));
    return;
  }
  controls_.clear();
  for (const ControlLayout& item : layout->controls) {
    ControlRecord record;
    record.id = item.id;
    record.kind = item.kind;
    record.windowClass = item.windowClass;
    record.style = item.style;
    record.x = item.x;
    record.y = item.y;
    record.width = item.width;
    record.height = item.height;
    record.imageId = item.imageId;
    record.handle = detail::NewHandle(detail::HandleKind::kWindow);
    record.text = item.text;
    record.visible = (item.style & kWsVisible) != 0;
    record.font = DialogFont();
    controls_.push_back(std::move(record));
  }
  handle_ = detail::NewHandle(detail::HandleKind::kWindow);
  menu_ = nullptr;
  menuItems_.clear();
  ended_ = false;
  result_ = -1;
  created_ = true;
}

void HeadlessWindow::Record(JournalEntry entry) {
  if (entry.id != 0) {
    if (ControlRecord* control = FindControl(entry.id)) control->log.push_back(entry);
  }
  journal_.push_back(std::move(entry));
}

ControlRecord* HeadlessWindow::FindControl(int id) {
  for (ControlRecord& control : controls_) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

const ControlRecord* HeadlessWindow::FindControl(WindowHandle handle) const {
  for (const ControlRecord& control : controls_) {
    if (control.handle == handle) return &control;
  }
  return nullptr;
}

ControlRecord& HeadlessWindow::control(int id) {
  if (ControlRecord* found = FindControl(id)) return *found;
  Fail("no control " + std::to_string(id) + " in " + Describe(owner_.TemplateId()));
  static ControlRecord scratch;
  scratch = ControlRecord{};
  return scratch;
}

// The program only addresses controls its template has, and only once the
// window exists; anything else is a fault in the program under test.
ControlRecord* HeadlessWindow::ControlFor(int id, const char* operation) {
  if (!created_) {
    Fail(std::string(operation) + " of control " + std::to_string(id) + " before the window exists");
    return nullptr;
  }
  ControlRecord* control = FindControl(id);
  if (control == nullptr) {
    Fail(std::string(operation) + " of control " + std::to_string(id) + ", which " +
         Describe(owner_.TemplateId()) + " does not have");
  }
  return control;
}

LResult HeadlessWindow::ControlMessage(ControlRecord& c, unsigned message, WParam w, LParam l) {
  if (message == msg::kSetFont) {
    c.font = reinterpret_cast<FontHandle>(w);
    c.fontRedraw = l != 0;
    return 0;
  }
  if (c.kind == ControlKind::kProgress) {
    // The common control's own rules: positions clamp into the range, and a
    // step past the maximum starts over from the minimum.
    const auto clamp = [&c] {
      if (c.pos < c.rangeMin) c.pos = c.rangeMin;
      if (c.pos > c.rangeMax) c.pos = c.rangeMax;
    };
    switch (message) {
      case kPbmSetRange: {
        const LResult previous = MakeLong(c.rangeMin, c.rangeMax);
        c.rangeMin = static_cast<int>(static_cast<std::uint32_t>(l) & 0xFFFF);
        c.rangeMax = static_cast<int>((static_cast<std::uint32_t>(l) >> 16) & 0xFFFF);
        clamp();
        return previous;
      }
      case kPbmSetPos: {
        const int previous = c.pos;
        c.pos = static_cast<int>(w);
        clamp();
        return previous;
      }
      case kPbmSetStep: {
        const int previous = c.step;
        c.step = static_cast<int>(w);
        return previous;
      }
      case kPbmStepIt: {
        const int previous = c.pos;
        const int span = c.rangeMax - c.rangeMin;
        if (span != 0) {
          c.pos += c.step;
          if (c.pos > c.rangeMax) c.pos = (c.pos - c.rangeMin) % span + c.rangeMin;
          if (c.pos < c.rangeMin) c.pos = (c.pos - c.rangeMin) % span + c.rangeMax;
        }
        return previous;
      }
      case kPbmGetPos:
        return c.pos;
      default:
        return 0;
    }
  }
  if (HasCheckState(c.kind)) {
    switch (message) {
      case kBmSetCheck:
        // Two-state buttons take anything above checked as checked.
        c.check = w == kBstUnchecked ? 0 : 1;
        return 0;
      case kBmGetCheck:
        return c.check;
      default:
        return 0;
    }
  }
  return 0;
}

Rect HeadlessWindow::clientRect() const {
  if (clientRectSet_) return clientRect_;
  const DialogLayout* layout = FindDialogLayout(owner_.TemplateId());
  if (layout == nullptr) return {};
  return {0, 0, MulDivRound(layout->width, kBaseUnitX, 4), MulDivRound(layout->height, kBaseUnitY, 8)};
}

void HeadlessWindow::ScriptAnswer(int answer) {
  answers_.push_back([answer](const MessageBoxRecord&) { return answer; });
}

void HeadlessWindow::ScriptAnswer(Answer answer) { answers_.push_back(std::move(answer)); }

void HeadlessWindow::ScriptWorkerWait(WorkerWait outcome) { workerScript_.push_back(outcome); }

int HeadlessWindow::NextAnswer(MessageBoxRecord& box) {
  if (answers_.empty()) {
    Fail("unexpected message box \"" + box.text + "\" (caption \"" + box.caption + "\", type " +
         std::to_string(box.type) + ") in " + Describe(owner_.TemplateId()));
    box.scripted = false;
    return CautiousAnswer(box.type);
  }
  Answer answer = std::move(answers_.front());
  answers_.pop_front();
  box.scripted = true;
  const int value = answer(box);
  if (!IsAnswerOf(box.type, value)) {
    Fail("scripted answer " + std::to_string(value) + " is not a button of the box \"" + box.text +
         "\" (type " + std::to_string(box.type) + ")");
  }
  return value;
}

}  // namespace vornell::headless

namespace vornell {

using headless::JournalEntry;
using headless::Op;

Dialog::Dialog(int templateId) : templateId_(templateId), impl_(std::make_unique<Impl>(*this)) {}

Dialog::~Dialog() = default;

std::intptr_t Dialog::DoModal() {
  Impl& w = impl();
  if (!headless::Open(*this) && !w.created_) {
    headless::detail::RecordModalRun(templateId_, -1);
    return -1;
  }
  std::function<void(Dialog&)> script = w.script_ ? w.script_ : headless::detail::ModalScriptFor(templateId_);
  if (script && !w.ended_) script(*this);
  const std::intptr_t result = w.ended_ ? w.result_ : -1;
  headless::detail::RecordModalRun(templateId_, result);
  // The window is destroyed when the modal loop ends, and its timers with it.
  w.created_ = false;
  w.timers_.clear();
  w.handle_ = nullptr;
  return result;
}

void Dialog::EndDialog(std::intptr_t result) {
  Impl& w = impl();
  w.ended_ = true;
  w.result_ = result;
  ++w.endDialogCalls_;
  w.Record({Op::kEndDialog, 0, 0, 0, 0, result, {}});
}

WindowHandle Dialog::GetSafeHwnd() const { return impl().handle_; }

void Dialog::StartTimer(unsigned id, unsigned ms) { impl().timers_[id] = ms; }

void Dialog::StopTimer(unsigned id) { impl().timers_.erase(id); }

void Dialog::ShowItem(int id, bool show) {
  Impl& w = impl();
  if (auto* c = w.ControlFor(id, "ShowItem")) {
    c->visible = show;
    w.Record({Op::kShowItem, id, 0, show ? 1u : 0u, 0, 0, {}});
  }
}

bool Dialog::IsItemVisible(int id) const {
  auto* c = impl().ControlFor(id, "IsItemVisible");
  return c != nullptr && c->visible;
}

void Dialog::EnableItem(int id, bool enable) {
  Impl& w = impl();
  if (auto* c = w.ControlFor(id, "EnableItem")) {
    c->enabled = enable;
    // As Windows does: a disabled control loses the focus, to no one.
    if (!enable && w.focus_ == id) w.SetFocusTo(headless::HeadlessWindow::kFocusNowhere);
    w.Record({Op::kEnableItem, id, 0, enable ? 1u : 0u, 0, 0, {}});
  }
}

void headless::HeadlessWindow::SetFocusTo(int focus) { focus_ = focus; }

bool Dialog::ItemHasFocus(int id) const {
  Impl& w = impl();
  return w.ControlFor(id, "ItemHasFocus") != nullptr && w.focus_ == id;
}

void Dialog::FocusItem(int id) {
  Impl& w = impl();
  if (auto* c = w.ControlFor(id, "FocusItem"); c != nullptr && c->enabled) w.SetFocusTo(id);
}

void Dialog::FocusDialog() { impl().SetFocusTo(headless::HeadlessWindow::kFocusOnDialog); }

// Test input is handled as it is made: nothing ever waits in a queue here.
void Dialog::DiscardQueuedInput() {}

bool Dialog::IsItemEnabled(int id) const {
  auto* c = impl().ControlFor(id, "IsItemEnabled");
  return c != nullptr && c->enabled;
}

void Dialog::SetItemText(int id, const std::string& text) {
  Impl& w = impl();
  if (auto* c = w.ControlFor(id, "SetItemText")) {
    c->text = text;
    ++c->setTextCount;
    w.Record({Op::kSetItemText, id, 0, 0, 0, 0, text});
  }
}

std::string Dialog::GetItemText(int id) const {
  auto* c = impl().ControlFor(id, "GetItemText");
  return c != nullptr ? c->text : std::string();
}

LResult Dialog::SendItemMessage(int id, unsigned message, WParam wp, LParam lp) {
  Impl& w = impl();
  auto* c = w.ControlFor(id, "SendItemMessage");
  if (c == nullptr) return 0;
  const LResult result = w.ControlMessage(*c, message, wp, lp);
  w.Record({Op::kItemMessage, id, message, wp, lp, result, {}});
  return result;
}

void Dialog::SetRichEditText(int id, const std::string& text) {
  Impl& w = impl();
  if (auto* c = w.ControlFor(id, "SetRichEditText")) {
    if (c->kind != ControlKind::kRichEdit) {
      headless::Fail("SetRichEditText of control " + std::to_string(id) + ", which is no rich-edit box");
    }
    c->text = text;
    ++c->setTextCount;
    w.Record({Op::kSetRichEditText, id, 0, 0, 0, 0, text});
  }
}

LResult Dialog::SendMessageToSelf(unsigned message, WParam wp, LParam lp) {
  Impl& w = impl();
  const std::size_t at = w.journal_.size();
  w.Record({Op::kSelfMessage, 0, message, wp, lp, 0, {}});
  LResult result = 0;
  if (!RouteMessage(message, wp, lp, result)) result = Default(message, wp, lp);
  w.journal_[at].result = result;
  return result;
}

LResult Dialog::Default(unsigned message, WParam wp, LParam lp) {
  Impl& w = impl();
  w.defaultProcessing_.push_back({message, wp, lp});
  switch (message) {
    case msg::kSetIcon: {
      IconHandle& slot = wp == kIconBig ? w.bigIcon_ : w.smallIcon_;
      IconHandle previous = slot;
      slot = reinterpret_cast<IconHandle>(lp);
      return reinterpret_cast<LResult>(previous);
    }
    case msg::kSysCommand:
      // The system menu's Close becomes WM_CLOSE...
      if ((wp & 0xFFF0) == headless::kScClose) return SendMessageToSelf(msg::kClose, 0, 0);
      return 0;
    case msg::kClose:
      // ...which a dialog turns into the Cancel command.
      return SendMessageToSelf(msg::kCommand, static_cast<WParam>(kIdCancel), 0);
    default:
      break;
  }
  if (message >= msg::kCtlColorMsgBox && message <= msg::kCtlColorStatic) {
    return reinterpret_cast<LResult>(headless::DefaultCtlColorBrush());
  }
  return 0;
}

void Dialog::UpdateWindow() {
  Impl& w = impl();
  ++w.updateCount_;
  w.Record({Op::kUpdateWindow, 0, 0, 0, 0, 0, {}});
}

bool Dialog::IsIconic() const { return impl().iconic_; }

Rect Dialog::GetClientRect() const { return impl().clientRect(); }

unsigned Dialog::WindowDpi() const { return impl().dpi_; }

Rect Dialog::GetItemClientRect(int id) const {
  auto* c = impl().ControlFor(id, "GetItemClientRect");
  if (c == nullptr) return {};
  if (c->moved) return c->pixels;
  Rect r{headless::MulDivRound(c->x, headless::kBaseUnitX, 4), headless::MulDivRound(c->y, headless::kBaseUnitY, 8),
         headless::MulDivRound(c->x + c->width, headless::kBaseUnitX, 4),
         headless::MulDivRound(c->y + c->height, headless::kBaseUnitY, 8)};
  // A bitmap picture sizes itself to its bitmap, unless it is stretched to its
  // control (SS_REALSIZECONTROL) or centred in it (SS_CENTERIMAGE).
  constexpr std::uint32_t kKeepsControlSize = 0x0040 | 0x0200;
  if (c->kind == ControlKind::kPicture && (c->style & kKeepsControlSize) == 0) {
    const auto size = headless::detail::BitmapResourceSize(c->imageId);
    if (size.width > 0) {
      r.right = r.left + size.width;
      r.bottom = r.top + size.height;
    }
  }
  return r;
}

void Dialog::MoveItem(int id, const Rect& area) {
  Impl& w = impl();
  if (auto* c = w.ControlFor(id, "MoveItem")) {
    c->moved = true;
    c->pixels = area;
  }
}

int Dialog::ItemTextWidth(int id) const {
  auto* c = impl().ControlFor(id, "ItemTextWidth");
  return c != nullptr ? headless::kTextPixelsPerByte * static_cast<int>(c->text.size()) : 0;
}

void Dialog::InvalidateRect(const Rect& area, bool erase) {
  Impl& w = impl();
  w.invalidations_.push_back({area, erase});
  JournalEntry entry{Op::kInvalidateRect, 0, 0, erase ? 1u : 0u, 0, 0, {}};
  entry.text = std::to_string(area.left) + "," + std::to_string(area.top) + "," + std::to_string(area.right) + "," +
               std::to_string(area.bottom);
  w.Record(std::move(entry));
}

void Dialog::RedrawAll() { impl().Record({Op::kRedrawAll, 0, 0, 0, 0, 0, {}}); }

void Dialog::SendToEveryItem(unsigned message, WParam wp, LParam lp) {
  for (const headless::ControlRecord& c : impl().controls()) SendItemMessage(c.id, message, wp, lp);
}

void* Dialog::GetSystemMenu(bool revert) {
  Impl& w = impl();
  ++w.systemMenuRequests_;
  if (!w.created_ || !w.systemMenuAvailable_) return nullptr;
  if (revert) {
    // Reverting restores the system's own menu and hands back no handle.
    w.menuItems_.clear();
    w.menu_ = nullptr;
    return nullptr;
  }
  if (w.menu_ == nullptr) w.menu_ = headless::detail::NewHandle(headless::detail::HandleKind::kMenu);
  return w.menu_;
}

bool Dialog::AppendMenuItem(void* menu, unsigned flags, unsigned id, const std::string& text) {
  Impl& w = impl();
  if (menu == nullptr || menu != w.menu_) return false;
  w.menuItems_.push_back({flags, id, text});
  return true;
}

std::string Dialog::LoadResourceString(int id) const {
  std::string text;
  headless::detail::FindResourceString(id, text);
  return text;
}

IconHandle Dialog::LoadResourceIcon(int id) const {
  impl().iconLoads_.push_back(id);
  if (!headless::detail::IconResourceExists(id)) return nullptr;
  // A resource icon is shared: the same handle on every load.
  return headless::detail::FixedHandle(headless::detail::HandleKind::kIcon, static_cast<std::uintptr_t>(id));
}

FontHandle Dialog::CreateFontFrom(const FontSpec& request) {
  FontHandle font = headless::detail::NewHandle(headless::detail::HandleKind::kFont);
  impl().fonts_.push_back({request, font});
  return font;
}

int Dialog::ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  Impl& w = impl();
  headless::MessageBoxRecord box{text, caption, type, 0, false};
  box.answer = w.NextAnswer(box);
  w.messageBoxes_.push_back(box);
  w.Record({Op::kMessageBox, 0, 0, type, 0, box.answer, text});
  return box.answer;
}

int Dialog::AppMessageBox(const std::string& text, unsigned type) {
  const App* app = App::Current();
  return ShowMessageBox(text, app != nullptr ? app->AppTitle() : std::string("Vornell"), type);
}

WorkerWait Dialog::WaitForWorker(WorkerProc proc, void* arg) {
  Impl& w = impl();
  WorkerWait outcome = WorkerWait::kEnded;
  if (!w.workerScript_.empty()) {
    outcome = w.workerScript_.front();
    w.workerScript_.pop_front();
  }
  headless::WorkerWaitRecord record{outcome, false, 0};
  if (outcome != WorkerWait::kStartFailed) {
    std::uint32_t exitCode = 0;
    std::thread worker([&exitCode, proc, arg] { exitCode = proc(arg); });
    if (w.duringWait_) w.duringWait_(*this);
    worker.join();
    record.ran = true;
    record.exitCode = exitCode;
  }
  w.workerWaits_.push_back(record);
  w.Record({Op::kWorkerWait, 0, 0, 0, 0, static_cast<LResult>(outcome), {}});
  return outcome;
}

int Dialog::ControlId(WindowHandle control) const {
  const auto* c = impl().FindControl(control);
  return c != nullptr ? c->id : 0;
}

}  // namespace vornell
