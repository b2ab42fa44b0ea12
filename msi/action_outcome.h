#pragma once
// What the MSI's custom actions make of a run of Vornell.exe: the command
// line they start it with, what its exit code means to Windows Installer,
// and the failed step its log names. No system call here, so that the
// native tests cover it.
#include <cstdint>
#include <string>
#include <string_view>

namespace vornell::msi {

constexpr std::uint32_t kActionSuccess = 0;    // ERROR_SUCCESS
constexpr std::uint32_t kActionFailure = 1603;  // ERROR_INSTALL_FAILURE

// The three runs the MSI makes: the install (deferred), its undoing when the
// install fails later (rollback), and the removal of the product.
enum class ProgramRun { kInstall, kRollback, kRemoval };

struct ActionOutcome {
  std::uint32_t actionResult = kActionFailure;  // what the custom action returns
  bool restartNeeded = false;                   // the immediate action asks for it at the end
  std::string meaning;                          // one line for the MSI's log
};

// 0 succeeds; 3010 succeeds and asks for a restart; anything else fails the
// install or the removal. A rollback never fails: Windows Installer goes on
// undoing the rest whatever it returns, and its log says what happened.
ActionOutcome MapProgramExit(ProgramRun run, std::uint32_t exitCode);
// The program could not be started or waited for: `why` says so.
ActionOutcome ProgramNotRun(ProgramRun run, const std::string& why);

// "PROGRAM" /quiet /log "LOG", or with /uninstall before /quiet.
std::wstring ProgramCommandLine(ProgramRun run, const std::wstring& program, const std::wstring& log);

// The log's file name in the folder only administrators can write.
const wchar_t* LogFileName(ProgramRun run);

// The step the program's log names as the one that failed (its last line
// "... failed at: STEP"); empty when there is none.
std::string FailedStepIn(std::string_view logText);

}  // namespace vornell::msi
