#pragma once
// The application object: it runs the wizard window modally and ends the
// process when the window closes.
#include "framework/app.h"

#include "app/command_line.h"

namespace vornell {

class CVornellApp : public App {
 public:
  CVornellApp();
  // Always false: the process ends when the wizard closes, with no message
  // loop of the application's own.
  bool InitInstance() override;

  // The two modes; the unattended one returns the exit code.
  int RunQuiet(const CommandLine& command);
  void RunWizard(const CommandLine& command);

 protected:
  // The Help command, to the framework's standard handler.
  const AppCommandEntry* CommandMap() const override;
};

// The process's one application object.
extern CVornellApp theApp;

}  // namespace vornell
