// The verified copy and hash of a package file: read once, through one
// handle that nobody else may write, rename or delete meanwhile.
#include "platform/win32/verified_copy.h"

#include <vector>

#include "platform/win32/services_win32.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

constexpr DWORD kChunk = 64 * 1024;

// A file on disk, opened for reading without following a link or junction
// in its last part, shared for reading only, never a pipe's or device's
// server acting as us. INVALID_HANDLE_VALUE with the error otherwise;
// anything but a plain file on disk is ERROR_BAD_FILE_TYPE.
HANDLE OpenToReadWhole(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT |
                                SECURITY_ANONYMOUS,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    // A folder cannot be opened this way at all: say what it is.
    if (GetLastError() == ERROR_ACCESS_DENIED) {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      SetLastError(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                       ? ERROR_BAD_FILE_TYPE
                       : ERROR_ACCESS_DENIED);
    }
    return INVALID_HANDLE_VALUE;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK) {
    SetLastError(ERROR_BAD_FILE_TYPE);
  } else if (!GetFileInformationByHandle(file, &info)) {
    // its own error
  } else if ((info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    SetLastError(ERROR_BAD_FILE_TYPE);
  } else {
    return file;
  }
  const DWORD error = GetLastError();
  CloseHandle(file);
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool CopyWhole(HANDLE from, HANDLE to, Sha256& hash, std::uint64_t& size) {
  size = 0;
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return false;
  std::vector<unsigned char> buffer(kChunk);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, buffer.data(), kChunk, &read, nullptr)) return false;
    if (read == 0) return true;
    hash.Add(buffer.data(), read);
    size += read;
    if (to == nullptr) continue;
    DWORD written = 0;
    if (!WriteFile(to, buffer.data(), read, &written, nullptr)) return false;
    if (written != read) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
  }
}

void DiscardCreatedFile(HANDLE file, const std::wstring& path) {
  const DWORD error = GetLastError();
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  const bool marked = SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
  CloseHandle(file);
  if (!marked) DeleteFileW(path.c_str());
  SetLastError(error);
}

bool Win32Services::HashFile(const std::string& path, FileDigest& digest) {
  CallError callError;
  digest = FileDigest{};
  std::wstring wide;
  if (!ToWide(path, wide)) {
    callError.Note();
    return false;
  }
  HANDLE file = OpenToReadWhole(wide);
  if (file == INVALID_HANDLE_VALUE) {
    callError.Note();
    return false;
  }
  Sha256 hash;
  std::uint64_t size = 0;
  const bool read = CopyWhole(file, nullptr, hash, size);
  if (read) SetLastError(ERROR_SUCCESS);
  callError.Note();
  CloseHandle(file);
  if (!read) return false;
  digest = FileDigest{size, hash.HexDigest()};
  return true;
}

bool Win32Services::CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) {
  CallError callError;
  digest = FileDigest{};
  std::wstring wideFrom, wideTo;
  if (!ToWide(from, wideFrom) || !ToWide(to, wideTo)) {
    callError.Note();
    return false;
  }
  HANDLE source = OpenToReadWhole(wideFrom);
  if (source == INVALID_HANDLE_VALUE) {
    callError.Note();
    return false;
  }
  // Replacing a file fails where it is read-only, hidden or system; the new
  // one carries none of that anyway.
  constexpr DWORD kInTheWay = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const DWORD existing = GetFileAttributesW(wideTo.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (existing & kInTheWay) != 0) {
    SetFileAttributesW(wideTo.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  // Created anew: only the data stream, none of an old file's streams
  // (the mark of the web) or flags.
  HANDLE target = CreateFileW(wideTo.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    callError.Note();
    CloseHandle(source);
    return false;
  }
  Sha256 hash;
  std::uint64_t size = 0;
  const bool copied = CopyWhole(source, target, hash, size);
  callError.Note();
  CloseHandle(source);
  if (!copied) {
    DiscardCreatedFile(target, wideTo);
    return false;
  }
  if (!CloseHandle(target)) {
    callError.Note();
    DeleteFileW(wideTo.c_str());
    return false;
  }
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  digest = FileDigest{size, hash.HexDigest()};
  return true;
}

}  // namespace vornell
