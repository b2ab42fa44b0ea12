#include "platform/process.h"

#include "platform/simulated/memory_log.h"
#include "platform/simulated/simulated_process.h"

namespace vornell {

namespace {

struct SimulatedProcess {
  ProcessFacts facts;
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

void SetSimulatedProcessFacts(const ProcessFacts& facts) { Process().facts = facts; }
void SetInstallLockHeldElsewhere(bool held) { Process().lockHeldElsewhere = held; }
const std::wstring& ProcessLogPath() { return Process().logPath; }
MemoryLog& ProcessLog() { return Process().log; }

}  // namespace vornell
