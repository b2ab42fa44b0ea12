#include "platform/process.h"

#include <optional>
#include <utility>

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
  std::optional<std::string> deviceLog;
  std::string logRefusal;
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

bool OpenProcessLog(const std::wstring& path, std::string* why) {
  SimulatedProcess& p = Process();
  p.logPath = path;
  if (!p.logRefusal.empty()) {
    if (why != nullptr) *why = p.logRefusal;
    GetLog().SetSink(nullptr);
    return false;
  }
  p.log.Clear();
  GetLog().SetSink(&p.log);
  return true;
}

std::string DeviceInstallLogPath() { return "C:\\Windows\\INF\\setupapi.dev.log"; }

bool DeviceInstallLogSize(std::uint64_t& size) {
  const std::optional<std::string>& text = Process().deviceLog;
  if (!text) return false;
  size = text->size();
  return true;
}

// The text is taken as it is: the tests write it in ASCII.
bool ReadDeviceInstallLog(std::uint64_t offset, std::uint64_t maxBytes, std::string& utf8, bool& cut,
                          std::uint32_t& error) {
  const std::optional<std::string>& text = Process().deviceLog;
  if (!text) {
    error = 2;  // ERROR_FILE_NOT_FOUND
    return false;
  }
  cut = false;
  std::size_t from = offset < text->size() ? static_cast<std::size_t>(offset) : text->size();
  if (text->size() - from > maxBytes) {
    from = text->size() - static_cast<std::size_t>(maxBytes);
    const std::size_t lineEnd = text->find('\n', from);
    from = lineEnd == std::string::npos ? text->size() : lineEnd + 1;
    cut = true;
  }
  utf8 = text->substr(from);
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
void RefuseProcessLog(std::string why) { Process().logRefusal = std::move(why); }
void SetSimulatedDeviceInstallLog(std::optional<std::string> text) { Process().deviceLog = std::move(text); }

}  // namespace vornell
