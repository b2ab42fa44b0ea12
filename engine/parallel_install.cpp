#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/files.h"
#include "platform/process_calls.h"
#include "platform/spooler.h"

namespace vornell {

namespace {
// WinExec's results: 0 to 31 say why the command did not start.
constexpr std::uint32_t kLastStartFailure = 31;
// What WinExec says of a program file it cannot find: an INF without a full
// path is a command that cannot start.
constexpr std::uint32_t kInfNotFound = 2;
}  // namespace

std::string BuildParallelInstallArguments(const InstallerState& state, const std::string& infPath) {
  return "printui.dll,PrintUIEntry /if /b \"" + state.lptPrinterName + "\" /f \"" + infPath +
         "\" /r \"COM1:\" /m \"" + state.driverModelName + "\"";
}

std::string BuildPrinterCommandArguments(const char* option, const std::string& queue, bool quiet) {
  return std::string("printui.dll,PrintUIEntry ") + option + (quiet ? " /q" : "") + " /n \"" + queue + "\"";
}

bool ResolvePackageInf(const InstallerState& state, std::string& infPath) {
  return GetFiles().FullPath(state.driverSourceFolder + DriverFileName(state, 0), infPath);
}

std::uint32_t ParallelInstallThread(void* parameter) {
  const WorkerSettings& settings =
      parameter != nullptr ? *static_cast<const WorkerSettings*>(parameter) : kWizardWorkers;
  Spooler& spooler = GetSpooler();
  ProcessCalls& process = GetProcessCalls();
  std::string infPath;
  const std::uint32_t started =
      ResolvePackageInf(installerState, infPath)
          ? spooler.StartRundll32(BuildParallelInstallArguments(installerState, infPath))
          : kInfNotFound;
  // Time for the printer setup to finish; it is not awaited otherwise.
  process.Sleep(settings.setupGraceMs);

  // A started command proves nothing about the queue, and 0 (out of
  // resources) is a failure too; only the registration wait may turn this
  // into success when it sees the queue.
  const std::int32_t status = started >= 1 && started <= kLastStartFailure
                                  ? static_cast<std::int32_t>(started)
                                  : kParallelQueueNotSeen;
  installerState.workerStatus = status;
  return static_cast<std::uint32_t>(status);
}

}  // namespace vornell
