#include "platform/process.h"

#include "platform/simulated/memory_log.h"
#include "platform/simulated/simulated_process.h"

namespace vornell {

namespace {

struct SimulatedProcess {
  ProcessFacts facts;
  std::uint32_t runLimitMs = 0;
  const char* runStep = "";
  bool lockHeldElsewhere = false;
  std::wstring logPath;
  MemoryLog log;
};

ProcessFacts DefaultFacts() {
  ProcessFacts facts;
  facts.commandLine = "Vornell.exe";
  facts.currentDirectory = "C:\\vornell";
  facts.programFolder = "C:\\vornell";
  facts.tempFolder = L"C:\\Temp\\";
  facts.elevated = true;
  facts.ansiCodePage = 936;
  return facts;
}

SimulatedProcess& Process() {
  static SimulatedProcess* const process = [] {
    auto* p = new SimulatedProcess;  // kept for the life of the process
    p->facts = DefaultFacts();
    return p;
  }();
  return *process;
}

}  // namespace

ProcessFacts GetProcessFacts() { return Process().facts; }

std::string ShownPath(const std::wstring& path) {
  std::string shown;
  for (const wchar_t c : path) shown += c < 0x80 ? static_cast<char>(c) : '?';
  return shown;
}

bool TakeInstallLock() { return !Process().lockHeldElsewhere; }

bool OpenProcessLog(const std::wstring& path) {
  SimulatedProcess& p = Process();
  p.logPath = path;
  p.log.Clear();
  GetLog().SetSink(&p.log);
  return true;
}

bool HoldProgramFile() { return true; }

// The limit is recorded, not enforced: the native tests run on a virtual clock.
void StartRunLimit(std::uint32_t ms, int) { Process().runLimitMs = ms; }
void NoteRunStep(const char* step) { Process().runStep = step; }
const char* CurrentRunStep() { return Process().runStep != nullptr ? Process().runStep : "none noted"; }

std::uint32_t SimulatedRunLimitMs() { return Process().runLimitMs; }
const char* SimulatedRunStep() { return Process().runStep; }

void SetSimulatedProcessFacts(const ProcessFacts& facts) { Process().facts = facts; }
void SetInstallLockHeldElsewhere(bool held) { Process().lockHeldElsewhere = held; }
const std::wstring& ProcessLogPath() { return Process().logPath; }
MemoryLog& ProcessLog() { return Process().log; }

}  // namespace vornell
