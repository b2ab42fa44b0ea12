// The system's list of renames and deletions at the next restart, cleared
// of what earlier removals of ours left there before an install puts the
// same files back.
#include <string>
#include <string_view>

#include "platform/pending_renames.h"
#include "platform/win32/own_files.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
// The system reads both lists at start-up.
constexpr const wchar_t* kPendingValues[] = {L"PendingFileRenameOperations", L"PendingFileRenameOperations2"};

// Reads a REG_MULTI_SZ value's characters; false with the error (2 when
// there is no such value).
bool ReadList(HKEY key, const wchar_t* name, std::wstring& data) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD type = 0, bytes = 0;
    LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes);
    if (status == ERROR_SUCCESS && type != REG_MULTI_SZ) status = ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) {
      SetLastError(static_cast<DWORD>(status));
      return false;
    }
    data.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (status == ERROR_MORE_DATA) continue;  // it grew in between
    if (status == ERROR_SUCCESS && type != REG_MULTI_SZ) status = ERROR_INVALID_DATA;
    if (status != ERROR_SUCCESS) {
      SetLastError(static_cast<DWORD>(status));
      return false;
    }
    data.resize(got / sizeof(wchar_t));
    return true;
  }
  SetLastError(ERROR_MORE_DATA);
  return false;
}

// A file an earlier removal renamed aside: gone now, unless it is still in use.
bool DeleteRenamedNow(std::wstring_view path) {
  const std::wstring file(path);
  if (DeleteFileW(file.c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool Win32Services::ClearPendingRemovals(std::uint32_t& cleared) {
  CallError callError;
  cleared = 0;
  const std::wstring folder = ProgramFolderPath();
  if (folder.empty()) {
    callError.Note();
    return false;
  }
  HKEY key = nullptr;
  const LSTATUS opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0,
                                       KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY, &key);
  if (opened != ERROR_SUCCESS) {
    SetLastError(static_cast<DWORD>(opened));
    callError.Note();
    return false;
  }
  bool ok = true;
  SetLastError(ERROR_SUCCESS);
  for (const wchar_t* name : kPendingValues) {
    std::wstring data;
    if (!ReadList(key, name, data)) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) continue;  // nothing pending
      ok = false;
      break;
    }
    const PendingClearing clearing = ClearOurPendingRenames(data, folder, SameIgnoringCase, DeleteRenamedNow);
    if (!clearing.wellFormed) {
      // Not a list of pairs: written back, other programs' entries could be lost.
      SetLastError(ERROR_INVALID_DATA);
      ok = false;
      break;
    }
    if (clearing.dropped == 0) continue;
    const LSTATUS written =
        clearing.kept.empty()
            ? RegDeleteValueW(key, name)
            : RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(clearing.kept.data()),
                             static_cast<DWORD>(clearing.kept.size() * sizeof(wchar_t)));
    if (written != ERROR_SUCCESS) {
      SetLastError(static_cast<DWORD>(written));
      ok = false;
      break;
    }
    cleared += clearing.dropped;
  }
  if (ok) SetLastError(ERROR_SUCCESS);
  callError.Note();
  RegCloseKey(key);
  return ok;
}

}  // namespace vornell
