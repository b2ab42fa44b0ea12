#pragma once
// DLLs of the system, loaded from the system directory and nowhere else,
// and the paths the system gives for its folders and the program's file.
// The program runs elevated from a download folder, where anyone may have
// left a DLL under a system DLL's name: it imports only DLLs on Windows'
// KnownDLLs list, and loads every other one through LoadSystemLibrary.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace vornell {

// The system directory (C:\Windows\System32), however long; empty, with the
// last error set, when the system does not say.
std::wstring SystemDirectory();

// The system's Windows folder (C:\Windows), without a final backslash; empty
// when the system does not say.
std::wstring WindowsFolder();

// The program file's full path, however long; empty when the system does not say.
std::wstring ProgramFilePath();

// Loads `name` ("newdev.dll") by its full path in the system directory, with
// its own dependencies from there too. nullptr with the last error set when
// it cannot. Never freed: what it registers lives as long as the process.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a library; nullptr when the library or the function is missing.
template <typename Function>
Function ProcedureOf(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through void(*)(), the one cast GCC allows between function types.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

}  // namespace vornell
