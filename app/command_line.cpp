#include "app/command_line.h"

#include <string_view>

#include "app/exit_codes.h"

namespace vornell {

namespace {

enum class Switch { kNone, kQuiet, kLog, kLogFormat, kSetDefault, kTestPage, kUninstall, kHelp };

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

std::wstring Lowered(std::wstring_view text) {
  std::wstring lower;
  for (wchar_t c : text) lower += Lower(c);
  return lower;
}

// The switch `argument` spells, if any: '/' or '-', then the name in any case.
Switch SwitchOf(std::wstring_view argument) {
  if (argument.size() < 2 || (argument[0] != L'/' && argument[0] != L'-')) return Switch::kNone;
  const std::wstring name = Lowered(argument.substr(1));
  if (name == L"quiet") return Switch::kQuiet;
  if (name == L"log") return Switch::kLog;
  if (name == L"logformat") return Switch::kLogFormat;
  if (name == L"setdefault") return Switch::kSetDefault;
  if (name == L"testpage") return Switch::kTestPage;
  if (name == L"uninstall") return Switch::kUninstall;
  if (name == L"?" || name == L"help") return Switch::kHelp;
  return Switch::kNone;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::wstring>& arguments) {
  CommandLine line;
  bool quiet = false, help = false, logGiven = false, formatGiven = false, uninstall = false;
  const std::wstring* invalid = nullptr;
  const std::wstring* quietOnly = nullptr;  // the first /setdefault or /testpage
  for (std::size_t i = 0; i < arguments.size() && invalid == nullptr; ++i) {
    const std::wstring& argument = arguments[i];
    switch (SwitchOf(argument)) {
      case Switch::kQuiet:
        quiet = true;
        break;
      case Switch::kLog:
        // A missing path must not swallow the next switch: "/log /quiet"
        // would open the wizard where a deployment tool expects none.
        if (logGiven || i + 1 == arguments.size() || arguments[i + 1].empty() ||
            SwitchOf(arguments[i + 1]) != Switch::kNone) {
          invalid = &argument;
          break;
        }
        logGiven = true;
        line.logPath = arguments[++i];
        break;
      case Switch::kLogFormat: {
        const std::wstring value = i + 1 < arguments.size() ? Lowered(arguments[i + 1]) : std::wstring();
        if (formatGiven || (value != L"cmtrace" && value != L"text")) {
          invalid = &argument;
          break;
        }
        formatGiven = true;
        line.logFormat = value == L"cmtrace" ? LogFormat::kCmTrace : LogFormat::kText;
        ++i;
        break;
      }
      case Switch::kSetDefault:
        line.setDefault = true;
        if (quietOnly == nullptr) quietOnly = &argument;
        break;
      case Switch::kTestPage:
        line.testPage = true;
        if (quietOnly == nullptr) quietOnly = &argument;
        break;
      case Switch::kUninstall:
        uninstall = true;
        break;
      case Switch::kHelp:
        help = true;
        break;
      case Switch::kNone:
        invalid = &argument;
        break;
    }
  }
  // The printer commands belong to an install, and to an unattended one.
  if (invalid == nullptr && quietOnly != nullptr && (!quiet || uninstall)) invalid = quietOnly;
  // Any /quiet, even one past a wrong argument: such a line shows no box either.
  for (const std::wstring& argument : arguments) quiet = quiet || SwitchOf(argument) == Switch::kQuiet;
  line.quietAsked = quiet;
  if (invalid != nullptr) {
    line.mode = RunMode::kInvalid;
    line.invalidArgument = *invalid;
  } else if (help) {
    line.mode = RunMode::kHelp;
  } else {
    line.mode = uninstall ? RunMode::kUninstall : quiet ? RunMode::kQuiet : RunMode::kWizard;
  }
  return line;
}

std::string UsageText() {
  using std::to_string;
  return "Usage: Vornell.exe [/quiet [/setdefault] [/testpage]] [/log PATH] [/logformat cmtrace]\r\n"
         "       Vornell.exe /uninstall [/quiet] [/log PATH] [/logformat cmtrace]\r\n"
         "  (nothing)     run the setup wizard\r\n"
         "  /quiet        install with no window and no question; the exit code tells the outcome\r\n"
         "  /log PATH     write the log to PATH (default %TEMP%\\Vornell.log)\r\n"
         "  /logformat cmtrace  write the log as Configuration Manager's records, for CMTrace (default: text)\r\n"
         "  /setdefault   with /quiet: make the printer the default printer\r\n"
         "  /testpage     with /quiet: print a test page\r\n"
         "  /uninstall    remove the printer, its driver and this program; with /quiet ask nothing\r\n"
         "  /? or /help   show this text\r\n"
         "Exit codes: " +
         to_string(kExitSuccess) + " installed, " + to_string(kExitRestartNeeded) +
         " installed, restart needed, " + to_string(kExitInstallFailed) +
         " installation failed, " + to_string(kExitAnotherInstall) +
         " another installation is running, " + to_string(kExitPackageIncomplete) +
         " driver package incomplete, " + to_string(kExitPackageUntrusted) +
         " package writable by non-administrators (under SYSTEM), " + to_string(kExitUserCancelled) +
         " removal not confirmed, " + to_string(kExitBadCommandLine) +
         " wrong command line.\r\n"
         "静默安装：Vornell.exe /quiet [/log 日志路径] [/logformat cmtrace 日志格式] [/setdefault 设为默认打印机] [/testpage 打印测试页]\r\n"
         "卸载：Vornell.exe /uninstall [/quiet] [/log 日志路径] [/logformat cmtrace 日志格式]\r\n";
}

}  // namespace vornell
