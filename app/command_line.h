#pragma once
// The program's command line:
//   Vornell.exe                                        the wizard
//   Vornell.exe /quiet [/log PATH] [/setdefault] [/testpage]
//   Vornell.exe /uninstall [/quiet] [/log PATH]         removal
//   Vornell.exe /?   or   /help
// Switches ignore letter case and may begin with '/' or '-'. /log works with
// the wizard too. /setdefault and /testpage answer the success page's check
// boxes, so they are accepted only with /quiet.
#include <string>
#include <vector>

namespace vornell {

enum class RunMode { kWizard, kQuiet, kUninstall, kHelp, kInvalid };

struct CommandLine {
  RunMode mode = RunMode::kWizard;
  std::wstring logPath;          // empty: not given
  bool setDefault = false;
  bool testPage = false;
  std::wstring invalidArgument;  // kInvalid: the first argument found wrong
  bool quietAsked = false;       // /quiet was given, even on a line found wrong
                                 // (with kUninstall: no question, no box)
};

// `arguments` are those after the program's name, as CommandLineToArgvW
// splits them. A wrong argument anywhere makes the line invalid, even beside
// /?; otherwise /? or /help anywhere asks for help.
CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments);

// How to call the program, for a console or a message box; GBK.
std::string UsageText();

}  // namespace vornell
