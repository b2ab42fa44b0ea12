#include "framework/dialog.h"

#include <cstring>

#include "framework/app.h"

namespace vornell {


bool Dialog::DeviceInterfacePath(LParam broadcast, std::string& path) {
  // Read by offset, the same on every build: DEV_BROADCAST_HDR (size, type,
  // reserved), then the class GUID, then the UTF-16 name from byte 28.
  constexpr std::uint32_t kInterfaceType = 5;  // DBT_DEVTYP_DEVICEINTERFACE
  constexpr std::size_t kNameOffset = 28;
  const auto* bytes = reinterpret_cast<const unsigned char*>(broadcast);
  if (bytes == nullptr) return false;
  std::uint32_t size = 0, type = 0;
  std::memcpy(&size, bytes, sizeof size);
  std::memcpy(&type, bytes + 4, sizeof type);
  if (type != kInterfaceType || size < kNameOffset + 2) return false;
  path.clear();
  for (std::size_t at = kNameOffset; at + 1 < size; at += 2) {
    const unsigned unit = bytes[at] | (bytes[at + 1] << 8);
    if (unit == 0) break;
    path.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
  }
  return true;
}

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
