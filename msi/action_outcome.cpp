#include "msi/action_outcome.h"

namespace vornell::msi {

namespace {

constexpr std::uint32_t kRestartNeeded = 3010;

// The program's own codes (app/exit_codes.h), which Windows Installer would
// otherwise report as its own meanings of the same numbers.
const char* ProgramCodeText(std::uint32_t code) {
  switch (code) {
    case 1602: return "the removal was not confirmed";
    case 1603: return "the installation or removal failed";
    case 1618: return "another Vornell was installing, or Windows was still installing devices";
    case 1619: return "the driver package is incomplete";
    case 1620: return "the driver package is not the one the program was built for";
    case 1633: return "the machine is 64-bit ARM, where the x64 driver cannot load";
    case 1639: return "the command line was refused";
    case 259: return "the program was still running when the wait ended";
    default: return "an unknown code";
  }
}

const char* RunName(ProgramRun run) {
  switch (run) {
    case ProgramRun::kInstall: return "install";
    case ProgramRun::kRollback: return "rollback (removal of the failed install)";
    case ProgramRun::kRemoval: return "removal";
  }
  return "run";
}

}  // namespace

ActionOutcome MapProgramExit(ProgramRun run, std::uint32_t exitCode) {
  ActionOutcome outcome;
  const std::string prefix = std::string("Vornell ") + RunName(run) + ": exit code " + std::to_string(exitCode);
  if (exitCode == 0) {
    outcome.actionResult = kActionSuccess;
    outcome.meaning = prefix + ", success";
  } else if (exitCode == kRestartNeeded) {
    outcome.actionResult = kActionSuccess;
    outcome.restartNeeded = true;
    outcome.meaning = prefix + ", success; a restart completes it";
  } else {
    outcome.actionResult = kActionFailure;
    outcome.meaning = prefix + ", failure: " + ProgramCodeText(exitCode);
  }
  if (run == ProgramRun::kRollback && outcome.actionResult != kActionSuccess) {
    outcome.actionResult = kActionSuccess;
    outcome.meaning += "; the rollback goes on";
  }
  return outcome;
}

ActionOutcome ProgramNotRun(ProgramRun run, const std::string& why) {
  ActionOutcome outcome;
  outcome.actionResult = run == ProgramRun::kRollback ? kActionSuccess : kActionFailure;
  outcome.meaning = std::string("Vornell ") + RunName(run) + ": " + why;
  return outcome;
}

std::wstring ProgramCommandLine(ProgramRun run, const std::wstring& program, const std::wstring& log) {
  std::wstring line = L"\"" + program + L"\"";
  if (run != ProgramRun::kInstall) line += L" /uninstall";
  line += L" /quiet /log \"" + log + L"\"";
  return line;
}

const wchar_t* LogFileName(ProgramRun run) {
  switch (run) {
    case ProgramRun::kInstall: return L"Vornell-msi-install.log";
    case ProgramRun::kRollback: return L"Vornell-msi-rollback.log";
    case ProgramRun::kRemoval: return L"Vornell-msi-removal.log";
  }
  return L"Vornell-msi.log";
}

std::string FailedStepIn(std::string_view logText) {
  constexpr std::string_view kMark = " failed at: ";
  const std::size_t at = logText.rfind(kMark);
  if (at == std::string_view::npos) return {};
  std::string_view step = logText.substr(at + kMark.size());
  step = step.substr(0, step.find_first_of("\r\n"));
  return std::string(step);
}

}  // namespace vornell::msi
