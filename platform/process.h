#pragma once
// The running process as the start-up and the log need it: facts for the
// log's first lines, the folder for the wizard's log, the lock that keeps two
// installations apart, the log file, and Windows' device-installation log.
// win32/ is the real process; simulated/ answers what a test set.
#include <cstdint>
#include <string>

namespace vornell {

struct ProcessFacts {
  std::string commandLine;       // GBK; characters without a GBK form as '?'
  std::string currentDirectory;  // GBK, with no final backslash
  std::string programFolder;     // GBK, the folder of the program file
  // %TEMP%, with a final backslash; under SYSTEM a folder only SYSTEM and
  // the Administrators can write. Empty when the system does not say.
  std::wstring tempFolder;
  bool elevated = false;
  bool system = false;  // the local SYSTEM account, as deployment tools run it
  // A person can see the process's windows: its window station is visible
  // and it does not run in session 0, where nobody ever sees one.
  bool seenByPerson = true;
  unsigned ansiCodePage = 0;
};

ProcessFacts GetProcessFacts();

// A path as a message shows it: GBK, characters without a GBK form as '?'.
std::string ShownPath(const std::wstring& path);

// Held by whichever Vornell installs, wizard or unattended, until the
// process ends; false when another process holds it.
bool TakeInstallLock();

// Opens the log file at `path` (created anew; never through a link in any
// folder of the path) and makes it the process's log. False when it cannot be written:
// the installation goes on without it, and `why` (GBK) says why in a line.
bool OpenProcessLog(const std::wstring& path, std::string* why = nullptr);

// Windows' device-installation log (%windir%\INF\setupapi.dev.log), opened
// for reading only and shared with its writers (read, write and delete).
// Its path as a message shows it:
std::string DeviceInstallLogPath();
// Its size; false when it is not there (or is no file).
bool DeviceInstallLogSize(std::uint64_t& size);
// Its text from `offset` to its end, converted from the ANSI code page, in
// which Windows writes it, to UTF-8. Of more than `maxBytes`, only the last,
// from the first line that starts within them (`cut`). False, with the
// system's error, when it cannot be opened or read.
bool ReadDeviceInstallLog(std::uint64_t offset, std::uint64_t maxBytes, std::string& utf8, bool& cut,
                          std::uint32_t& error);

// Opens the program's own file for reading, shared for reading only, and
// keeps it open until the process ends: nobody can then rename, replace or
// write it, and the program copy is made from this handle, not by path.
// Called first thing at start; false when the file could not be opened
// (the program copy then fails rather than copy by path).
bool HoldProgramFile();

// A run nobody watches must not hang for ever in a system call: after `ms`
// the log names the step last noted and the process ends itself with
// `exitCode`, after any Apps & features entry being written is whole.
void StartRunLimit(std::uint32_t ms, int exitCode);
// What the run is doing now, for that log line: a literal, kept by pointer.
void NoteRunStep(const char* step);
// The step last noted, for the log line of a run that failed.
const char* CurrentRunStep();

}  // namespace vornell
