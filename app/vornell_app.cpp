#include "app/vornell_app.h"

#include <string>

#include "app/command_line.h"
#include "app/exit_codes.h"
#include "app/quiet_install.h"
#include "app/uninstall.h"
#include "engine/engine.h"
#include "engine/installer_state.h"
#include "framework/win_values.h"
#include "platform/device_install_log.h"
#include "platform/log.h"
#include "platform/logging_services.h"
#include "platform/process.h"
#include "platform/process_calls.h"
#include "res/resource.h"
#include "res/version.h"
#include "wizard/pages.h"
#include "wizard/vornell_dlg.h"

namespace vornell {

namespace {
constexpr unsigned kWin95Classes = 0xFF;  // ICC_WIN95_CLASSES
constexpr unsigned kRestartOnly = 1;      // no data recovery, no autosave
constexpr char kVersion[] = VORNELL_VERSION_TEXT;
constexpr char kErrorCaption[] = "错误提示";
constexpr char kArm64Machine[] = "错误提示：   本驱动程序仅适用于 64 位 x86 版 Windows，不能安装在 ARM 处理器的电脑上";

// The run's log and where Windows' device-installation log stood at its start.
struct RunLog {
  std::wstring path;
  DeviceLogMark deviceLog;
};

// The log file and its first lines: what support staff need to know of the
// run.
RunLog StartLog(const CommandLine& command, const char* mode) {
  const ProcessFacts facts = GetProcessFacts();
  RunLog run;
  run.deviceLog = MarkDeviceInstallLog();
  // Without a temporary folder, no log: not "Vornell.log" in whatever the
  // current directory is.
  run.path = !command.logPath.empty()    ? command.logPath
             : !facts.tempFolder.empty() ? facts.tempFolder + L"Vornell.log"
                                         : std::wstring();
  Log& log = GetLog();
  log.SetFormat(command.logFormat);
  // Without a log the installation still runs; whoever started it from a
  // console learns why there is none.
  std::string why;
  if (!run.path.empty() && !OpenProcessLog(run.path, &why)) {
    WriteToStartingConsole("Vornell: no log at " + ShownPath(run.path) + ": " + why + "\r\n");
  }
  log.Write(std::string("Vornell ") + kVersion + ", " + mode);
  log.Write("command line", facts.commandLine);
  log.Write("elevated", facts.elevated ? "yes" : "no");
  if (facts.system) log.Write("account", "SYSTEM");
  if (!facts.seenByPerson) {
    log.Write("no person can see this process's windows (session 0, or a window station that is not visible): "
              "as with /quiet");
  }
  log.Write("current directory", facts.currentDirectory);
  log.Write("ANSI code page", facts.ansiCodePage);
  return run;
}

// A removal the user declined is no failure.
bool Failed(int exitCode) {
  return exitCode != kExitSuccess && exitCode != kExitRestartNeeded && exitCode != kExitUserCancelled;
}

// The exit code last, as an error when the run failed; before it, what
// Windows' device installation wrote meanwhile.
void EndLog(const RunLog& run, int exitCode) {
  Log& log = GetLog();
  if (Failed(exitCode)) {
    AppendDeviceInstallLog(run.deviceLog);
    log.Error("exit code: " + std::to_string(exitCode));
  } else {
    log.Write("exit code", static_cast<std::uint64_t>(exitCode));
  }
  log.SetSink(nullptr);
}

// The usage text to the console the program was started from, or else in a
// box, which the unattended mode never shows.
void ShowUsage(bool quiet) {
  const std::string usage = UsageText();
  if (!WriteToStartingConsole(usage) && !quiet) ShowAppMessageBox(usage, kMbIconInformation);
}

}  // namespace

CVornellApp theApp;

CVornellApp::CVornellApp() { restartManagerSupport = kRestartOnly; }

const AppCommandEntry* CVornellApp::CommandMap() const {
  static const AppCommandEntry entries[] = {{kIdHelp, &App::OnHelp}, {0, nullptr}};
  return entries;
}

bool CVornellApp::InitInstance() {
  // Before anything else: the program copy is made from this very file.
  HoldProgramFile();
  CommandLine command = ParseCommandLine(arguments);
  // Where no person can see a window (session 0, a window station that is
  // not visible), a box or the wizard would wait for ever: every mode runs
  // as with /quiet, and the log and the exit code say everything.
  const bool unseen = !GetProcessFacts().seenByPerson;
  if (unseen) {
    command.quietAsked = true;
    if (command.mode == RunMode::kWizard) command.mode = RunMode::kQuiet;
  }
  // Nobody watches a run without a window: a call that never returns must
  // not keep a deployment tool waiting for ever.
  if (command.quietAsked && (command.mode == RunMode::kQuiet || command.mode == RunMode::kUninstall)) {
    StartRunLimit(kUnattendedRunLimitMs, kExitInstallFailed);
  }
  switch (command.mode) {
    case RunMode::kHelp:
      ShowUsage(command.quietAsked);
      exitCode = kExitSuccess;
      return false;
    case RunMode::kInvalid:
      ShowUsage(command.quietAsked);
      exitCode = kExitBadCommandLine;
      return false;
    case RunMode::kQuiet:
      exitCode = RunQuiet(command);
      return false;
    case RunMode::kUninstall: {
      const RunLog log = StartLog(command, command.quietAsked ? "removal, unattended" : "removal");
      exitCode = RunUninstall(command, log.path);
      EndLog(log, exitCode);
      return false;
    }
    case RunMode::kWizard:
      RunWizard(command);
      return false;
  }
  return false;
}

int CVornellApp::RunQuiet(const CommandLine& command) {
  const RunLog log = StartLog(command, "unattended");
  int code = kExitAnotherInstall;
  NoteRunStep("taking the install lock");
  if (TakeInstallLock()) {
    LoggedServices logged;
    code = RunQuietInstall(command);
  } else {
    GetLog().Error("another Vornell is installing");
  }
  // The line a deployment tool's wrapper (the MSI's action) reports.
  if (code != kExitSuccess && code != kExitRestartNeeded) GetLog().Error(std::string("install failed at: ") + CurrentRunStep());
  EndLog(log, code);
  return code;
}

void CVornellApp::RunWizard(const CommandLine& command) {
  const RunLog log = StartLog(command, "wizard");
  // Held so that an unattended run waits its turn; the wizard itself goes on
  // as ever.
  if (!TakeInstallLock()) GetLog().Write("another Vornell is installing");
  LoggedServices logged;
  // The package beside the program, whoever started it from where: a
  // shortcut's start folder or an elevation from elsewhere decides nothing.
  if (!GetProcessCalls().EnterProgramFolder()) {
    GetLog().Write("the program's folder could not be made the current directory");
  }

  InitCommonControls(kWin95Classes);
  // Before the license page: nothing of this driver can work there.
  if (OnArm64Machine()) {
    ShowAppMessageBox(kArm64Machine, kErrorCaption, kMbOk | kMbIconError);
    GetLog().Error("the wizard ended: this driver is for 64-bit x86 Windows only, and this machine is ARM64");
    GetLog().SetSink(nullptr);
    return;
  }
  // The license box is a "RichEdit20A" control; without its class the
  // dialog cannot be created. The result is not examined: there is no
  // better page to show than the dialog itself.
  InitRichEdit();

  CVornellDlg dialog(IDD_VORNELL_DIALOG);
  mainWindow = &dialog;
  // Every way out of the window leads to the same teardown.
  dialog.DoModal();
  mainWindow = nullptr;  // the dialog dies with this scope
  // Ended on the install page (a refused package or copy) or after the
  // failure page: the installation failed.
  const WizardStep last = installerState.step;
  const std::string ended = std::string("the wizard ended on the page: ") + PageNameOf(last);
  if (last == WizardStep::kInstall || last == WizardStep::kFailure || last == WizardStep::kLeaveAfterFailure) {
    AppendDeviceInstallLog(log.deviceLog);
    GetLog().Error(ended);
  } else {
    GetLog().Write(ended);
  }
  GetLog().SetSink(nullptr);
}

}  // namespace vornell
