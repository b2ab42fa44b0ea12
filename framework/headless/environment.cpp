// The headless window's process-wide state, and the application services of
// the native build.
#include "framework/headless/environment.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <set>

#include "framework/app.h"
#include "res/resource.h"

namespace vornell::headless {

namespace {

const char kAboutItem[] = "关于 Vornell(&A)...";

struct Environment {
  FailureHook failureHook;
  std::map<int, std::function<void(Dialog&)>> modalScripts;
  std::vector<ModalRun> modalRuns;
  std::map<int, std::string> strings{{IDS_ABOUTBOX, kAboutItem}};
  bool systemMenuByDefault = true;
  int iconWidth = 32, iconHeight = 32;
  std::vector<unsigned> commonControlsInits;
  int richEditInits = 0;
  bool richEditResult = true;
  std::vector<std::string> consoleTexts;
  std::vector<std::string> appMessageBoxes;
  std::vector<std::string> appMessageCaptions;
  std::deque<int> appAnswers;
  bool hasConsole = true;

  std::vector<PaintCall> paintLog;
  std::set<BrushHandle> liveBrushes;
  int brushesCreated = 0;
  int brushesDeleted = 0;
  std::set<DcHandle> openDcs;
};

Environment& Env() {
  static Environment env;
  return env;
}

// Workers may touch the handle counter and the failure hook; the rest is
// used on the dialog's thread only.
std::atomic<std::uintptr_t> g_nextHandle{1};
std::mutex g_failureMutex;

}  // namespace

void SetFailureHook(FailureHook hook) {
  std::lock_guard lock(g_failureMutex);
  Env().failureHook = std::move(hook);
}

void Fail(const std::string& message) {
  FailureHook hook;
  {
    std::lock_guard lock(g_failureMutex);
    hook = Env().failureHook;
  }
  if (hook) {
    hook(message);
    return;
  }
  std::fprintf(stderr, "headless window: %s\n", message.c_str());
  std::abort();
}

void ResetEnvironment() {
  FailureHook keep;
  {
    std::lock_guard lock(g_failureMutex);
    keep = Env().failureHook;
  }
  Env() = Environment{};
  // The hook belongs to the test harness, not to one test.
  SetFailureHook(std::move(keep));
}

void SetModalScript(int templateId, std::function<void(Dialog&)> script) {
  Env().modalScripts[templateId] = std::move(script);
}

const std::vector<ModalRun>& ModalRuns() { return Env().modalRuns; }

void SetResourceString(int id, const std::string& text) { Env().strings[id] = text; }
void RemoveResourceString(int id) { Env().strings.erase(id); }

void SetSystemMenuAvailableByDefault(bool available) { Env().systemMenuByDefault = available; }

void SetSystemIconSize(int width, int height) {
  Env().iconWidth = width;
  Env().iconHeight = height;
}

const std::vector<unsigned>& CommonControlsInits() { return Env().commonControlsInits; }
int RichEditInits() { return Env().richEditInits; }
void SetRichEditInitResult(bool result) { Env().richEditResult = result; }
const std::vector<std::string>& ConsoleTexts() { return Env().consoleTexts; }
void SetStartingConsole(bool present) { Env().hasConsole = present; }
const std::vector<std::string>& AppMessageBoxes() { return Env().appMessageBoxes; }
const std::vector<std::string>& AppMessageCaptions() { return Env().appMessageCaptions; }
void ScriptAppAnswer(int answer) { Env().appAnswers.push_back(answer); }

const std::vector<PaintCall>& PaintLog() { return Env().paintLog; }
void ClearPaintLog() { Env().paintLog.clear(); }
int BrushesCreated() { return Env().brushesCreated; }
int BrushesDeleted() { return Env().brushesDeleted; }
int LiveBrushes() { return static_cast<int>(Env().liveBrushes.size()); }

BrushHandle DefaultCtlColorBrush() { return detail::FixedHandle(detail::HandleKind::kBrush, 0xFFFF); }
FontHandle DialogFont() { return detail::FixedHandle(detail::HandleKind::kFont, 0xFFFF); }

namespace detail {

void* NewHandle(HandleKind kind) {
  return FixedHandle(kind, 0x10000 + g_nextHandle.fetch_add(1));
}

void* FixedHandle(HandleKind kind, std::uintptr_t number) {
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(kind) + number);
}

BitmapSize BitmapResourceSize(int id) {
  switch (id) {
    case IDB_PRINTER: return {64, 67};
    case IDB_BACKGROUND: return {566, 383};
    case IDB_LOGO: return {133, 44};
    default: return {};
  }
}

bool IconResourceExists(int id) { return id == IDR_MAINFRAME; }

std::function<void(Dialog&)> ModalScriptFor(int templateId) {
  auto it = Env().modalScripts.find(templateId);
  return it == Env().modalScripts.end() ? nullptr : it->second;
}

void RecordModalRun(int templateId, std::intptr_t result) {
  Env().modalRuns.push_back({templateId, result});
}

bool FindResourceString(int id, std::string& text) {
  auto it = Env().strings.find(id);
  if (it == Env().strings.end()) return false;
  text = it->second;
  return true;
}

bool SystemMenuAvailableByDefault() { return Env().systemMenuByDefault; }

void LogPaint(const PaintCall& call) { Env().paintLog.push_back(call); }

DcHandle OpenDc() {
  DcHandle dc = NewHandle(HandleKind::kDc);
  Env().openDcs.insert(dc);
  return dc;
}

void CloseDc(DcHandle dc) { Env().openDcs.erase(dc); }
bool IsOpenDc(DcHandle dc) { return Env().openDcs.count(dc) != 0; }

}  // namespace detail

}  // namespace vornell::headless

namespace vornell {

using headless::PaintCall;
using headless::PaintOp;

void Dialog::SystemIconSize(int& width, int& height) {
  width = headless::Env().iconWidth;
  height = headless::Env().iconHeight;
}

// The native tests run without high contrast; the system's colours and
// brushes are made-up values, one per index.
bool Dialog::HighContrastOn() { return false; }

ColorRef Dialog::SysColor(int sysColor) { return 0x00101000u + static_cast<ColorRef>(sysColor); }

BrushHandle Dialog::SysColorBrush(int sysColor) {
  return headless::detail::FixedHandle(headless::detail::HandleKind::kBrush, 0x100 + static_cast<std::uintptr_t>(sysColor));
}

BrushHandle Dialog::StockHollowBrush() {
  BrushHandle brush = headless::detail::FixedHandle(headless::detail::HandleKind::kBrush, 0xFFFE);
  PaintCall call;
  call.op = PaintOp::kStockHollowBrush;
  call.handle = brush;
  headless::detail::LogPaint(call);
  return brush;
}

BrushHandle Dialog::CreateSysColorBrush(int sysColor) {
  auto& env = headless::Env();
  BrushHandle brush = headless::detail::NewHandle(headless::detail::HandleKind::kBrush);
  env.liveBrushes.insert(brush);
  ++env.brushesCreated;
  PaintCall call;
  call.op = PaintOp::kCreateBrush;
  call.handle = brush;
  call.value = sysColor;
  headless::detail::LogPaint(call);
  return brush;
}

void Dialog::DeleteBrush(BrushHandle brush) {
  auto& env = headless::Env();
  PaintCall call;
  call.op = PaintOp::kDeleteBrush;
  call.handle = brush;
  headless::detail::LogPaint(call);
  // Like DeleteObject(NULL): nothing to release, nothing wrong.
  if (brush == nullptr) return;
  if (env.liveBrushes.erase(brush) == 0) {
    headless::Fail("DeleteBrush of a brush that is not a live created brush");
    return;
  }
  ++env.brushesDeleted;
}

std::string App::AppTitle() const { return "Vornell"; }

void InitCommonControls(unsigned classes) { headless::Env().commonControlsInits.push_back(classes); }

bool InitRichEdit() {
  ++headless::Env().richEditInits;
  return headless::Env().richEditResult;
}

bool WriteToStartingConsole(const std::string& text) {
  if (!headless::Env().hasConsole) return false;
  headless::Env().consoleTexts.push_back(text);
  return true;
}

int ShowAppMessageBox(const std::string& text, unsigned /*type*/) {
  headless::Env().appMessageBoxes.push_back(text);
  headless::Env().appMessageCaptions.emplace_back();
  return kIdOk;
}

int ShowAppMessageBox(const std::string& text, const std::string& caption, unsigned /*type*/) {
  auto& env = headless::Env();
  env.appMessageBoxes.push_back(text);
  env.appMessageCaptions.push_back(caption);
  if (env.appAnswers.empty()) return kIdOk;
  const int answer = env.appAnswers.front();
  env.appAnswers.pop_front();
  return answer;
}

}  // namespace vornell
