// The real system behind the file calls. The verified copy and hash of a
// file are in verified_copy.cpp, who may write one in write_access_win32.cpp.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cwchar>
#include <string>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/own_files.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

void FillFindData(const WIN32_FIND_DATAW& found, FindData& data) {
  const std::size_t length = wcsnlen(found.cFileName, MAX_PATH);
  // A name with no GBK form comes out marked with '?': copying it then
  // fails and is reported, rather than the file being skipped unseen.
  data.name = LenientGbk(std::wstring_view(found.cFileName, length));
  data.attributes = found.dwFileAttributes;
  data.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
}

}  // namespace

bool Win32Services::FullPath(const std::string& path, std::string& full) {
  CallError callError;
  full.clear();
  std::wstring wide, wideFull;
  if (!ToWide(path, wide)) return false;
  if (!WideFullPath(wide, wideFull)) {
    callError.Note();
    return false;
  }
  if (WideToGbk(wideFull, full, Conversion::kStrict)) return true;
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  callError.Note();
  return false;
}

bool Win32Services::PathExists(const std::string& path) {
  CallError callError;
  std::wstring wide;
  if (!ToWide(path, wide)) return false;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  callError.Note();
  return attributes != INVALID_FILE_ATTRIBUTES;
}

bool Win32Services::CreateFolder(const std::string& path) {
  CallError callError;
  std::wstring wide;
  if (!ToWide(path, wide)) return false;
  const BOOL created = CreateDirectoryW(wide.c_str(), nullptr);
  callError.Note();
  return created != FALSE;
}

bool Win32Services::CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) {
  CallError callError;
  std::wstring wideFrom, wideTo;
  if (!ToWide(from, wideFrom) || !ToWide(to, wideTo)) return false;
  const BOOL copied = CopyFileW(wideFrom.c_str(), wideTo.c_str(), failIfExists ? TRUE : FALSE);
  callError.Note();
  return copied != FALSE;
}

std::uint32_t Win32Services::GetAttributes(const std::string& path) {
  CallError callError;
  std::wstring wide;
  if (!ToWide(path, wide)) return kInvalidFileAttributes;
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  callError.Note();
  return attributes;
}

bool Win32Services::SetAttributes(const std::string& path, std::uint32_t attributes) {
  CallError callError;
  std::wstring wide;
  if (!ToWide(path, wide)) return false;
  const BOOL set = SetFileAttributesW(wide.c_str(), attributes);
  callError.Note();
  return set != FALSE;
}

FindHandle Win32Services::FindFirst(const std::string& pattern, FindData& data) {
  CallError callError;
  std::wstring wide;
  if (!ToWide(pattern, wide)) return nullptr;
  WIN32_FIND_DATAW found{};
  HANDLE walk = FindFirstFileW(wide.c_str(), &found);
  callError.Note();
  if (walk == INVALID_HANDLE_VALUE) return nullptr;
  FillFindData(found, data);
  return walk;
}

bool Win32Services::FindNext(FindHandle walk, FindData& data) {
  CallError callError;
  WIN32_FIND_DATAW found{};
  const BOOL next = FindNextFileW(static_cast<HANDLE>(walk), &found);
  callError.Note();
  if (!next) return false;
  FillFindData(found, data);
  return true;
}

void Win32Services::FindEnd(FindHandle walk) {
  if (walk != nullptr) FindClose(static_cast<HANDLE>(walk));
}

bool Win32Services::RemoveFile(const std::string& path, bool& atRestart) {
  CallError callError;
  atRestart = false;
  std::wstring wide;
  if (!ToWide(path, wide)) {
    callError.Note();
    return false;
  }
  if (DeleteFileW(wide.c_str())) {
    callError.Note();
    return true;
  }
  DWORD error = GetLastError();
  if (error == ERROR_ACCESS_DENIED) {
    // A read-only file says "access denied" too: that one can go now.
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
      if (DeleteFileW(wide.c_str())) {
        callError.Note();
        return true;
      }
      error = GetLastError();
    }
    SetLastError(error);
  }
  if (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) {
    callError.Note();
    return false;
  }
  // In use (the spooler has a driver file loaded): renamed aside first, so
  // that the deletion at the restart cannot take a file installed under
  // this name in the meantime.
  const std::wstring aside = MoveAside(wide);
  if (aside.empty()) {
    callError.Note();
    return false;
  }
  if (DeleteAside(aside, atRestart)) {
    SetLastError(ERROR_SUCCESS);
    callError.Note();
    return true;
  }
  callError.Note();
  // Neither now nor later: the file keeps its name, as it was.
  MoveFileExW(aside.c_str(), wide.c_str(), 0);
  return false;
}

bool Win32Services::RemoveFolder(const std::string& path) {
  CallError callError;
  std::wstring wide;
  if (!ToWide(path, wide)) {
    callError.Note();
    return false;
  }
  const BOOL removed = RemoveDirectoryW(wide.c_str());
  callError.Note();
  return removed != FALSE;
}

bool Win32Services::MoveFileTo(const std::string& from, const std::string& to) {
  CallError callError;
  std::wstring wideFrom, wideTo;
  if (!ToWide(from, wideFrom) || !ToWide(to, wideTo)) {
    callError.Note();
    return false;
  }
  const BOOL moved = MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING);
  callError.Note();
  return moved != FALSE;
}

}  // namespace vornell
