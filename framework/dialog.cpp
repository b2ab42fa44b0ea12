#include "framework/dialog.h"

#include "framework/app.h"

namespace vornell {


LResult Dialog::OnOkThunk(Dialog& d, unsigned, WParam, LParam) {
  d.OnOK();
  return 0;
}

LResult Dialog::OnCancelThunk(Dialog& d, unsigned, WParam, LParam) {
  d.OnCancel();
  return 0;
}

const MessageMap& Dialog::ClassMessageMap() {
  static const MessageMapEntry entries[] = {
      {msg::kCommand, msg::kCommand, kBnClicked, kIdOk, &Dialog::OnOkThunk},
      {msg::kCommand, msg::kCommand, kBnClicked, kIdCancel, &Dialog::OnCancelThunk},
      {0, 0, 0, 0, nullptr},
  };
  static const MessageMap map{nullptr, entries};
  return map;
}

bool Dialog::RouteMessage(unsigned message, WParam w, LParam l, LResult& result) {
  const unsigned code = static_cast<unsigned>((w >> 16) & 0xFFFF);
  const int id = static_cast<int>(w & 0xFFFF);
  for (const MessageMap* map = &GetMessageMap(); map != nullptr; map = map->base) {
    for (const MessageMapEntry* e = map->entries; e->handler != nullptr; ++e) {
      if (message < e->first || message > e->last) continue;
      if (message == msg::kCommand && (e->code != code || e->id != id)) continue;
      result = e->handler(*this, message, w, l);
      return true;
    }
  }
  // A command no window answers goes to the application, as the framework routes it.
  if (message == msg::kCommand && code == kBnClicked) {
    if (App* app = App::Current(); app != nullptr && app->RouteCommand(static_cast<unsigned>(id))) {
      result = 0;
      return true;
    }
  }
  return false;
}

}  // namespace vornell
