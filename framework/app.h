#pragma once
// The application object: one per process, constructed before start-up.
// The entry point (framework/win32 or a test) calls RunApplication, which
// runs InitInstance once; its FALSE ends the process.
#include <string>

namespace vornell {

class Dialog;

class App {
 public:
  App();
  virtual ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  virtual bool InitInstance() = 0;

  // The caption of the standard message box: the program file's name
  // without its extension, in GBK.
  std::string AppTitle() const;

  Dialog* mainWindow = nullptr;
  // Restart-manager support: 1 = restart only.
  unsigned restartManagerSupport = 0;

  static App* Current();
};

// Runs the application object's start-up; returns the process exit code.
int RunApplication();

// Start-up services of the window system.
void InitCommonControls(unsigned classes);
// Registers the rich-edit window classes ("RichEdit20A"), loading the
// system's rich-edit library by its system path.
bool InitRichEdit();

}  // namespace vornell
