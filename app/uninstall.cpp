#include "app/uninstall.h"

#include <string>

#include "app/exit_codes.h"
#include "engine/engine.h"
#include "engine/installer_state.h"
#include "framework/app.h"
#include "framework/win_values.h"
#include "platform/log.h"
#include "platform/logging_services.h"
#include "platform/process.h"

namespace vornell {

namespace {

constexpr char kCaption[] = "卸载";
constexpr char kConfirm[] = "确定要卸载 Orvane RX730TⅡ 打印机驱动吗？";
constexpr char kRemoved[] = "Orvane RX730TⅡ 打印机驱动已卸载。";
constexpr char kAtRestart[] = "卸载将在重新启动计算机后完成。";
constexpr char kNotRemoved[] = "卸载未能完成，详情请见日志：";

int Remove() {
  Log& log = GetLog();
  const RemovalResult result = RemoveInstallation([&log](const std::string& line) { log.Write(line); });
  if (!result.removed) {
    log.Error("removal failed at: " + result.failedStep + ": " + std::to_string(result.error));
    return kExitInstallFailed;
  }
  if (result.restartNeeded) {
    log.Write("removal completes at the next restart");
    return kExitRestartNeeded;
  }
  log.Write("removed");
  return kExitSuccess;
}

}  // namespace

int RunUninstall(const CommandLine& command, const std::wstring& logPath) {
  const bool quiet = command.quietAsked;
  Log& log = GetLog();
  if (!quiet && ShowAppMessageBox(kConfirm, kCaption, kMbYesNo | kMbIconQuestion) != kIdYes) {
    log.Write("removal not confirmed");
    return kExitUserCancelled;
  }
  int code = kExitAnotherInstall;
  if (TakeInstallLock()) {
    // Every call to the system logged, as the install does.
    LoggedServices logged;
    DescribeDriverPackage();
    code = Remove();
  } else {
    log.Error("another Vornell is installing");
  }
  if (!quiet) {
    if (code == kExitSuccess) {
      ShowAppMessageBox(kRemoved, kCaption, kMbOk | kMbIconInformation);
    } else if (code == kExitRestartNeeded) {
      ShowAppMessageBox(kAtRestart, kCaption, kMbOk | kMbIconInformation);
    } else {
      ShowAppMessageBox(kNotRemoved + ShownPath(logPath), kCaption, kMbOk | kMbIconError);
    }
  }
  return code;
}

}  // namespace vornell
