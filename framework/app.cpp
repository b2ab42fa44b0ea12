#include "framework/app.h"

namespace vornell {

namespace {
App* g_current = nullptr;
}

App::App() : previous_(g_current) { g_current = this; }

App::~App() {
  // An application object made for a while beside the program's own hands
  // the commands back to it when it ends.
  if (g_current == this) g_current = previous_;
}

App* App::Current() { return g_current; }

const AppCommandEntry* App::CommandMap() const {
  static const AppCommandEntry entries[] = {{0, nullptr}};
  return entries;
}

bool App::RouteCommand(unsigned id) {
  for (const AppCommandEntry* e = CommandMap(); e->handler != nullptr; ++e) {
    if (e->id == id) {
      e->handler(*this);
      return true;
    }
  }
  return false;
}

std::uint32_t RestartRegistrationFlags(unsigned restartManagerSupport) {
  constexpr std::uint32_t kNoCrash = 0x1;  // RESTART_NO_CRASH
  constexpr std::uint32_t kNoHang = 0x2;   // RESTART_NO_HANG
  constexpr unsigned kRestartOnly = 0x1;
  return (restartManagerSupport & kRestartOnly) != 0 ? kNoCrash | kNoHang : 0;
}

int RunApplication() {
  App* app = App::Current();
  if (app == nullptr) return 1;
  // FALSE from InitInstance means: no message loop of our own, end now.
  app->InitInstance();
  return app->exitCode;
}

}  // namespace vornell
