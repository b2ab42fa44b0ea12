#include "framework/app.h"

namespace vornell {

namespace {
App* g_current = nullptr;
}

App::App() { g_current = this; }

App::~App() {
  if (g_current == this) g_current = nullptr;
}

App* App::Current() { return g_current; }

int RunApplication() {
  App* app = App::Current();
  if (app == nullptr) return 1;
  // FALSE from InitInstance means: no message loop of our own, end now.
  app->InitInstance();
  return 0;
}

}  // namespace vornell
