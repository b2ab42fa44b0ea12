// A run nobody watches ends itself when a system call hangs: a thread that
// waits out the limit, says in the log where the run stood, and ends the
// process.
#include "platform/win32/run_limit.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/device_install_log.h"
#include "platform/log.h"
#include "platform/process.h"

namespace vornell {

namespace {

SRWLOCK appsEntryLock = SRWLOCK_INIT;
std::atomic<const char*> runStep{"none noted"};
std::atomic<bool> limitStarted{false};

// How long the limit thread waits for an entry being written to be whole.
constexpr DWORD kEntryWaitMs = 10000;
constexpr DWORD kEntryPollMs = 50;

struct Limit {
  std::uint32_t ms = 0;
  int exitCode = 0;
};
Limit limit;

// A positive whole number of milliseconds in VORNELL_RUN_LIMIT_MS; 0 when
// there is none. It may only shorten the limit, as the queue wait's does.
std::uint32_t LimitFromEnvironment() {
  wchar_t text[16] = {};
  const DWORD length = GetEnvironmentVariableW(L"VORNELL_RUN_LIMIT_MS", text, 16);
  if (length == 0 || length >= 16) return 0;
  std::uint64_t value = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] < L'0' || text[i] > L'9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
  }
  return value > 0 && value <= UINT32_MAX ? static_cast<std::uint32_t>(value) : 0;
}

std::string Duration(std::uint32_t ms) {
  if (ms % 60000 == 0) return std::to_string(ms / 60000) + " minutes";
  return std::to_string(ms) + " ms";
}

DWORD WINAPI RunLimitThread(void*) {
  ::Sleep(limit.ms);
  GetLog().Error("the run did not end within " + Duration(limit.ms) + "; it ends itself; the step was: " +
                 runStep.load());
  // A device installation that hangs may have said why in Windows' log.
  AppendDeviceInstallLog(RunDeviceLogMark());
  // Not in the middle of writing the Apps & features entry: a half-written
  // one would show a program that removal cannot undo. A write that hangs
  // itself is not waited for beyond a while.
  for (DWORD waited = 0; waited < kEntryWaitMs && !TryAcquireSRWLockExclusive(&appsEntryLock);
       waited += kEntryPollMs) {
    ::Sleep(kEntryPollMs);
  }
  // Not ExitProcess: it would wait for a hung thread's hold on the loader.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(limit.exitCode));
  return 0;
}

}  // namespace

AppsEntryWriting::AppsEntryWriting() { AcquireSRWLockExclusive(&appsEntryLock); }
AppsEntryWriting::~AppsEntryWriting() { ReleaseSRWLockExclusive(&appsEntryLock); }

void StartRunLimit(std::uint32_t ms, int exitCode) {
  if (ms == 0) return;  // no limit
  const std::uint32_t shorter = LimitFromEnvironment();
  if (shorter != 0 && shorter < ms) ms = shorter;
  if (limitStarted.exchange(true)) return;  // one limit per run
  limit = Limit{ms, exitCode};
  HANDLE thread = CreateThread(nullptr, 0, RunLimitThread, nullptr, 0, nullptr);
  if (thread != nullptr) {
    CloseHandle(thread);
  } else {
    GetLog().Write("the run limit could not be set; error", GetLastError());
  }
}

void NoteRunStep(const char* step) { runStep.store(step != nullptr ? step : ""); }
const char* CurrentRunStep() { return runStep.load(); }

}  // namespace vornell
