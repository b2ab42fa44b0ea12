// The real system behind the program's own files: its copy under Program
// Files, made from the handle to its running file, and removals of files
// that are still in use.
#include <shlobj.h>

#include <atomic>
#include <string>

#include "platform/pending_renames.h"
#include "platform/win32/gbk_wide.h"
#include "platform/win32/own_files.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/system_library.h"
#include "platform/win32/verified_copy.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

constexpr wchar_t kCopyName[] = L"\\Vornell.exe";

// Writes the program's own file, from the handle held since start, to a new
// file `to`; nothing is left at `to` when that fails.
bool WriteProgramFile(HANDLE program, const std::wstring& to) {
  HANDLE target = CreateFileW(to.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
  if (target == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) {
    // Left by an earlier run that had this process's number and ended early.
    DeleteFileW(to.c_str());
    target = CreateFileW(to.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (target == INVALID_HANDLE_VALUE) return false;
  Sha256 unused;
  std::uint64_t size = 0;
  if (!CopyWhole(program, target, unused, size)) {
    DiscardCreatedFile(target, to);
    return false;
  }
  if (!CloseHandle(target)) {
    const DWORD error = GetLastError();
    DeleteFileW(to.c_str());
    SetLastError(error);
    return false;
  }
  return true;
}

}  // namespace

std::wstring ProgramFolderPath() {
  wchar_t programFiles[MAX_PATH] = {};
  const HRESULT got = SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, SHGFP_TYPE_CURRENT, programFiles);
  if (FAILED(got)) {
    SetLastError(HRESULT_CODE(got) != 0 ? HRESULT_CODE(got) : ERROR_PATH_NOT_FOUND);
    return {};
  }
  return std::wstring(programFiles) + L"\\Orvane\\Vornell";
}

std::wstring MoveAside(const std::wstring& path) {
  // Numbered from the clock's count at first use, so a later process that
  // gets the same number does not meet this one's names.
  static std::atomic<DWORD> next{GetTickCount()};
  const std::wstring prefix = path + kRemovedMark + std::to_wstring(GetCurrentProcessId()) + L"-";
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::wstring aside = prefix + std::to_wstring(next++);
    if (MoveFileExW(path.c_str(), aside.c_str(), 0)) return aside;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return {};
  }
  return {};
}

bool DeleteAside(const std::wstring& aside, bool& atRestart) {
  atRestart = false;
  if (DeleteFileW(aside.c_str())) return true;
  // Only the name given aside goes at the restart, never the file's own.
  atRestart = MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  return atRestart;
}

bool Win32Services::ProgramFolder(std::string& folder) {
  CallError callError;
  folder.clear();
  const std::wstring wide = ProgramFolderPath();
  if (wide.empty()) {
    callError.Note();
    return false;
  }
  if (!WideToGbk(wide, folder, Conversion::kStrict)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    callError.Note();
    return false;
  }
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

bool Win32Services::InstallProgramCopy(std::string& copyPath) {
  CallError callError;
  copyPath.clear();
  const std::wstring folder = ProgramFolderPath();
  const std::wstring self = ProgramFilePath();
  if (folder.empty() || self.empty()) {
    callError.Note();
    return false;
  }
  const std::wstring copy = folder + kCopyName;
  if (!WideToGbk(copy, copyPath, Conversion::kStrict)) {
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    callError.Note();
    return false;
  }
  // The folders are the caller's to make and check (the package copy made
  // them in this run); one missing now fails the copy (error 3).
  // A repair started from Apps & features runs the copy itself: it stays.
  if (SameIgnoringCase(self, copy)) {
    SetLastError(ERROR_SUCCESS);
    callError.Note();
    return true;
  }
  // Never by path: what lies under the program's name now may not be what runs.
  const HANDLE program = HeldProgramFile();
  if (program == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    callError.Note();
    return false;
  }
  const std::wstring temporary = copy + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  if (!WriteProgramFile(program, temporary)) {
    callError.Note();
    return false;
  }
  if (MoveFileExW(temporary.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    SetLastError(ERROR_SUCCESS);
    callError.Note();
    return true;
  }
  callError.Note();
  const DWORD error = GetLastError();
  // An older copy that runs (or is read-only) cannot be replaced, but it
  // can be renamed: it goes aside, and at the restart if it still runs.
  std::wstring aside;
  if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) aside = MoveAside(copy);
  if (!aside.empty()) {
    if (MoveFileExW(temporary.c_str(), copy.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      bool atRestart = false;
      DeleteAside(aside, atRestart);
      SetLastError(ERROR_SUCCESS);
      callError.Note();
      return true;
    }
    callError.Note();
    MoveFileExW(aside.c_str(), copy.c_str(), 0);  // the old copy back in its place
  }
  DeleteFileW(temporary.c_str());
  return false;
}

bool Win32Services::RemoveProgramCopy(bool& atRestart) {
  CallError callError;
  atRestart = false;
  const std::wstring folder = ProgramFolderPath();
  const std::wstring self = ProgramFilePath();
  if (folder.empty()) {
    callError.Note();
    return false;
  }
  const std::wstring copy = folder + kCopyName;
  const std::wstring parent = folder.substr(0, folder.rfind(L'\\'));
  // The uninstall command of Apps & features runs the copy, whose file this
  // process holds shared for reading only: let go of it, or no one (this
  // process included) can rename it.
  if (SameIgnoringCase(self, copy)) ReleaseProgramFile();
  if (!DeleteFileW(copy.c_str())) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      // A running program cannot delete its own file. Renamed aside, it
      // goes at the next restart, then its folders, which are empty by then
      // (the system leaves a folder that is not, harmlessly).
      const std::wstring aside = MoveAside(copy);
      if (aside.empty() || !DeleteAside(aside, atRestart)) {
        callError.Note();
        return false;
      }
      if (atRestart) {
        MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExW(parent.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        SetLastError(ERROR_SUCCESS);
        callError.Note();
        return true;
      }
    } else if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      callError.Note();
      return false;
    }
  }
  // Only empty folders go; another product of ours may share "Orvane".
  RemoveDirectoryW(folder.c_str());
  RemoveDirectoryW(parent.c_str());
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  return true;
}

}  // namespace vornell
