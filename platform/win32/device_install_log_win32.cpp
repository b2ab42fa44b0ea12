// Windows' device-installation log, read while SetupAPI and the device
// installer keep writing it.
#include <windows.h>

#include <climits>
#include <string>

#include "platform/process.h"
#include "platform/win32/gbk_wide.h"
#include "platform/win32/system_library.h"

namespace vornell {

namespace {

std::wstring DeviceLogPath() {
  const std::wstring windows = WindowsFolder();
  return windows.empty() ? std::wstring() : windows + L"\\INF\\setupapi.dev.log";
}

// Shared for reading, writing and deleting: Windows' writers must never
// find the file held by us. INVALID_HANDLE_VALUE, with the error, when it
// cannot be opened or is no file on a disk.
HANDLE OpenDeviceLog() {
  const std::wstring path = DeviceLogPath();
  if (path.empty()) return INVALID_HANDLE_VALUE;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE && ::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    ::SetLastError(ERROR_BAD_FILE_TYPE);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// The ANSI code page's text as UTF-8; bytes that are no character there
// become the replacement character.
std::string AnsiToUtf8(const std::string& ansi) {
  if (ansi.empty() || ansi.size() > INT_MAX) return {};
  const int length = static_cast<int>(ansi.size());
  const int units = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), units);
  return WideToUtf8(wide);
}

}  // namespace

std::string DeviceInstallLogPath() { return LenientGbk(DeviceLogPath()); }

bool DeviceInstallLogSize(std::uint64_t& size) {
  HANDLE file = OpenDeviceLog();
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER length{};
  const bool known = ::GetFileSizeEx(file, &length) != FALSE && length.QuadPart >= 0;
  ::CloseHandle(file);
  if (known) size = static_cast<std::uint64_t>(length.QuadPart);
  return known;
}

bool ReadDeviceInstallLog(std::uint64_t offset, std::uint64_t maxBytes, std::string& utf8, bool& cut,
                          std::uint32_t& error) {
  utf8.clear();
  cut = false;
  HANDLE file = OpenDeviceLog();
  if (file == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return false;
  }
  LARGE_INTEGER length{};
  bool read = ::GetFileSizeEx(file, &length) != FALSE && length.QuadPart >= 0;
  std::string ansi;
  if (read) {
    const auto size = static_cast<std::uint64_t>(length.QuadPart);
    std::uint64_t from = offset < size ? offset : size;
    if (size - from > maxBytes) {
      from = size - maxBytes;
      cut = true;
    }
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(from);
    read = ::SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
    // Up to the size seen now: lines written meanwhile belong to no one yet.
    std::uint64_t left = size - from;
    char buffer[64 * 1024];
    while (read && left > 0) {
      DWORD got = 0;
      const DWORD want = left < sizeof buffer ? static_cast<DWORD>(left) : static_cast<DWORD>(sizeof buffer);
      read = ::ReadFile(file, buffer, want, &got, nullptr) != FALSE;
      if (!read || got == 0) break;  // shortened meanwhile: what was read stands
      ansi.append(buffer, got);
      left -= got;
    }
  }
  if (!read) error = ::GetLastError();
  ::CloseHandle(file);
  if (!read) return false;
  // Begun inside a line: from the next one. A line feed is never part of a
  // double-byte character, so the text is whole from there.
  if (cut) {
    const std::size_t lineEnd = ansi.find('\n');
    ansi.erase(0, lineEnd == std::string::npos ? ansi.size() : lineEnd + 1);
  }
  utf8 = AnsiToUtf8(ansi);
  return true;
}

}  // namespace vornell
