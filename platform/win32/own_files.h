#pragma once
// The program's own files on the real system: the folder of its copy under
// Program Files, the handle to its running file, and the names its
// removals give to files still in use.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace vornell {

// %ProgramFiles%\Orvane\Vornell, without a final backslash; empty, with the
// last error set, when the system does not say.
std::wstring ProgramFolderPath();

// The program's own file as HoldProgramFile opened it; null when it did
// not, or after ReleaseProgramFile.
HANDLE HeldProgramFile();
// Closes that handle: the running copy must be renamed for its removal,
// which the handle, shared for reading only, forbids.
void ReleaseProgramFile();

// Renames the file `path` in its own folder to a name nobody else uses,
// "<name>.vornell-removed-<process>-<n>", so that what happens to it later
// (deletion at the next restart) never reaches a file put under `path`
// since. The new name; empty, with the rename's error, when it failed.
std::wstring MoveAside(const std::wstring& path);

// Deletes a file renamed aside, or, while it is still in use, has the
// system delete it at the next restart (`atRestart`). False, with the
// error, when neither could be done.
bool DeleteAside(const std::wstring& aside, bool& atRestart);

}  // namespace vornell
