#pragma once
// The application object: one per process, constructed before start-up.
// The entry point (framework/win32 or a test) calls RunApplication, which
// runs InitInstance once; its FALSE ends the process.
#include <cstdint>
#include <string>
#include <vector>

namespace vornell {

class Dialog;
class App;

// One row of the application's command map; the last row has no handler.
struct AppCommandEntry {
  unsigned id;
  void (*handler)(App&);
};

// The framework's Help command (ID_HELP).
constexpr unsigned kIdHelp = 0xE146;

// RegisterApplicationRestart's flags for a restart-manager support value:
// restart only means after a system update, never after a crash or a hang.
// 0 when no restart is asked for.
std::uint32_t RestartRegistrationFlags(unsigned restartManagerSupport);

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
  // The command line after the program's name, as the entry point split it.
  std::vector<std::wstring> arguments;
  // What the process ends with once InitInstance has returned.
  int exitCode = 0;

  static App* Current();

  // A command no window answered; false when the map has no row for it.
  bool RouteCommand(unsigned id);

 protected:
  virtual const AppCommandEntry* CommandMap() const;
  // The framework's standard help. There is no help file: nothing to open.
  static void OnHelp(App&) {}

 private:
  // The application that was current before this one, current again once this one ends.
  App* previous_ = nullptr;
};

// Runs the application object's start-up; returns the process exit code.
int RunApplication();

// Start-up services of the window system.
void InitCommonControls(unsigned classes);
// Registers the rich-edit window classes ("RichEdit20A"), loading the
// system's rich-edit library by its system path.
bool InitRichEdit();

// Writes a GBK text to the standard output the process was given, or else
// to the console of the process that started it; false when there is neither.
bool WriteToStartingConsole(const std::string& text);
// The application's standard message box with no owner: the application
// title as caption.
int ShowAppMessageBox(const std::string& text, unsigned type);
// The same with a caption of its own; the box comes to the foreground, as
// the program has no window of its own to come with.
int ShowAppMessageBox(const std::string& text, const std::string& caption, unsigned type);

}  // namespace vornell
