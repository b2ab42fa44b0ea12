// What a test does to the headless window in the user's place.
#include "framework/headless/environment.h"

namespace vornell::headless {

namespace {

constexpr std::uint32_t kWsGroup = 0x00020000;
constexpr unsigned kScClose = 0xF060;

bool Usable(Dialog& dialog, int id, const char* what) {
  HeadlessWindow& window = Headless(dialog);
  if (!window.created()) {
    Fail(std::string(what) + " on control " + std::to_string(id) + " of a window that does not exist");
    return false;
  }
  if (window.ended()) {
    Fail(std::string(what) + " on control " + std::to_string(id) + " after the dialog ended");
    return false;
  }
  if (window.FindControl(id) == nullptr) {
    Fail(std::string(what) + " on control " + std::to_string(id) + ", which the dialog does not have");
    return false;
  }
  return true;
}

// Clears the other auto radio buttons of the clicked one's group: the
// controls from the nearest WS_GROUP at or before it to the next WS_GROUP.
void ClearRadioGroup(std::vector<ControlRecord>& controls, std::size_t clicked) {
  std::size_t first = clicked;
  while (first > 0 && (controls[first].style & kWsGroup) == 0) --first;
  for (std::size_t i = first; i < controls.size(); ++i) {
    if (i > first && (controls[i].style & kWsGroup) != 0) break;
    if (i != clicked && controls[i].kind == ControlKind::kRadio) controls[i].check = 0;
  }
}

WParam ClickCommand(int id) {
  return (static_cast<WParam>(kBnClicked) << 16) | (static_cast<WParam>(id) & 0xFFFF);
}

}  // namespace

bool Open(Dialog& dialog) {
  HeadlessWindow& window = Headless(dialog);
  window.Build();
  if (!window.created()) return false;
  const bool systemSetsFocus = dialog.CallOnInitDialog();
  // As the dialog manager: the first visible, enabled tab stop.
  constexpr std::uint32_t kTabStop = 0x00010000;
  if (systemSetsFocus) {
    for (const ControlRecord& c : window.controls()) {
      if (c.visible && c.enabled && (c.style & kTabStop) != 0) {
        dialog.FocusItem(c.id);
        break;
      }
    }
  }
  return systemSetsFocus;
}

bool Click(Dialog& dialog, int id) {
  if (!Usable(dialog, id, "Click")) return false;
  HeadlessWindow& window = Headless(dialog);
  auto& controls = window.controls();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    ControlRecord& c = controls[i];
    if (c.id != id) continue;
    if (c.kind == ControlKind::kCheckBox) c.check = c.check ? 0 : 1;
    if (c.kind == ControlKind::kRadio) {
      c.check = 1;
      ClearRadioGroup(controls, i);
    }
    dialog.SendMessageToSelf(msg::kCommand, ClickCommand(id), reinterpret_cast<LParam>(c.handle));
    return true;
  }
  return false;
}

bool ClickIfEnabled(Dialog& dialog, int id) {
  if (!Usable(dialog, id, "ClickIfEnabled")) return false;
  const ControlRecord* c = Headless(dialog).FindControl(id);
  if (!c->visible || !c->enabled) return false;
  return Click(dialog, id);
}

void PressEscape(Dialog& dialog) { dialog.SendMessageToSelf(msg::kCommand, static_cast<WParam>(kIdCancel), 0); }

void CloseBox(Dialog& dialog) { SysCommand(dialog, kScClose); }

LResult SysCommand(Dialog& dialog, unsigned command, LParam l) {
  return dialog.SendMessageToSelf(msg::kSysCommand, command, l);
}

void Paint(Dialog& dialog) { dialog.SendMessageToSelf(msg::kPaint, 0, 0); }

CtlColorAnswer RequestCtlColor(Dialog& dialog, int id, unsigned message) {
  CtlColorAnswer answer;
  if (!Usable(dialog, id, "RequestCtlColor")) return answer;
  const ControlRecord* c = Headless(dialog).FindControl(id);
  answer.dc = detail::OpenDc();
  PaintCall call;
  call.op = PaintOp::kCtlColorRequest;
  call.templateId = dialog.TemplateId();
  call.dc = answer.dc;
  call.dcValid = true;
  call.handle = c->handle;
  call.value = static_cast<long>(message);
  detail::LogPaint(call);
  answer.brush = reinterpret_cast<BrushHandle>(
      dialog.SendMessageToSelf(message, reinterpret_cast<WParam>(answer.dc), reinterpret_cast<LParam>(c->handle)));
  detail::CloseDc(answer.dc);
  return answer;
}

std::vector<std::pair<int, CtlColorAnswer>> Repaint(Dialog& dialog) {
  Paint(dialog);
  std::vector<std::pair<int, CtlColorAnswer>> answers;
  // Copy the IDs first: a handler may change the controls.
  std::vector<std::pair<int, unsigned>> askers;
  for (const ControlRecord& c : Headless(dialog).controls()) {
    if (!c.visible) continue;
    switch (c.kind) {
      case ControlKind::kPushButton:
        askers.emplace_back(c.id, msg::kCtlColorBtn);
        break;
      case ControlKind::kProgress:
      case ControlKind::kRichEdit:
        break;  // these paint their own background
      default:
        askers.emplace_back(c.id, msg::kCtlColorStatic);
        break;
    }
  }
  for (const auto& [id, message] : askers) answers.emplace_back(id, RequestCtlColor(dialog, id, message));
  return answers;
}

}  // namespace vornell::headless
