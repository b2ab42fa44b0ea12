#pragma once
// The program's command line:
//   Vornell.exe [/log PATH] [/logformat cmtrace]          the wizard
//   Vornell.exe /quiet [/log PATH] [/logformat cmtrace] [/setdefault] [/testpage]
//   Vornell.exe /uninstall [/quiet] [/log PATH] [/logformat cmtrace]   removal
//   Vornell.exe /?   or   /help
// Switches ignore letter case and may begin with '/' or '-'. /log and
// /logformat (cmtrace: Configuration Manager's records; text: the plain
// lines, the default) work in every mode. /setdefault and /testpage answer
// the success page's check boxes, so they are accepted only with /quiet.
#include <string>
#include <vector>

#include "platform/log.h"

namespace vornell {

enum class RunMode { kWizard, kQuiet, kUninstall, kHelp, kInvalid };

struct CommandLine {
  RunMode mode = RunMode::kWizard;
  std::wstring logPath;          // empty: not given
  LogFormat logFormat = LogFormat::kText;
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
