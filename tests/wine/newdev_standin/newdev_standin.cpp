// A newdev.dll whose driver update fails with ERROR_NO_SUCH_DEVINST. Every
// call appends one UTF-8 line to C:\newdev-standin.log:
//   <entry>|<this DLL's own path>|<hardware ID>|<INF path>|<flags>
// so a test sees which file the program loaded and what it asked for; and,
// as Windows would, a section to its device-installation log, in the ANSI
// code page.
#include <windows.h>

#include <string>

namespace {

// setupapi.h: APPLICATION_ERROR_MASK | ERROR_SEVERITY_ERROR | 0x20B
constexpr DWORD kNoSuchDevinst = 0xE000020B;

HMODULE g_self = nullptr;

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromAnsi(const char* text) {
  if (text == nullptr) return L"(null)";
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), n);
  return out;
}

void Record(const char* entry, const wchar_t* hardwareId, const wchar_t* infPath, DWORD flags) {
  wchar_t self[MAX_PATH * 2] = {};
  GetModuleFileNameW(g_self, self, MAX_PATH * 2);
  const std::string line = std::string(entry) + "|" + Utf8(self) + "|" +
                           Utf8(hardwareId != nullptr ? hardwareId : L"(null)") + "|" +
                           Utf8(infPath != nullptr ? infPath : L"(null)") + "|" +
                           std::to_string(flags) + "\n";
  HANDLE log = CreateFileW(L"C:\\newdev-standin.log", FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, 0, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(log);
}

// Shared as Windows' own writers share it; a path with a user's Chinese name in it.
void WriteDeviceInstallLog() {
  const std::wstring section =
      L">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USBPRINT\\OrvaneRX730TII87C8]\r\n"
      L">>>  Section start 2026/12/09 14:03:09.020\r\n"
      L"     ndv: INF path: C:\\Program Files\\Orvane\\Vornell\\x64\\driver\\RX730TP.INF\r\n"
      L"!    inf: Could not open 'C:\\Users\\\x5F20\x4F1F\\Desktop\\RX730TP.PNF'\r\n"
      L"!!!  ndv: No devices were updated.\r\n"
      L"<<<  Section end 2026/12/09 14:03:09.120\r\n"
      L"<<<  [Exit status: FAILURE(0xe000020b)]\r\n";
  const int n = WideCharToMultiByte(CP_ACP, 0, section.data(), static_cast<int>(section.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string ansi(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, section.data(), static_cast<int>(section.size()), ansi.data(), n, nullptr, nullptr);
  HANDLE log = CreateFileW(L"C:\\windows\\inf\\setupapi.dev.log", FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (log == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(log, ansi.data(), static_cast<DWORD>(ansi.size()), &written, nullptr);
  CloseHandle(log);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) BOOL WINAPI UpdateDriverForPlugAndPlayDevicesW(
    HWND, LPCWSTR hardwareId, LPCWSTR infPath, DWORD flags, PBOOL rebootRequired) {
  Record("W", hardwareId, infPath, flags);
  WriteDeviceInstallLog();
  if (rebootRequired != nullptr) *rebootRequired = FALSE;
  SetLastError(kNoSuchDevinst);
  return FALSE;
}

extern "C" __declspec(dllexport) BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(
    HWND, LPCSTR hardwareId, LPCSTR infPath, DWORD flags, PBOOL rebootRequired) {
  Record("A", FromAnsi(hardwareId).c_str(), FromAnsi(infPath).c_str(), flags);
  if (rebootRequired != nullptr) *rebootRequired = FALSE;
  SetLastError(kNoSuchDevinst);
  return FALSE;
}
