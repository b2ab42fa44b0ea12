#include "tests/wine/driver.h"

#include <commctrl.h>
#include <psapi.h>
#include <setupapi.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace wt {

namespace {
int g_passed = 0;
int g_failed = 0;

// {A5DCBF10-6530-11D2-901F-00C04FB951ED}
const GUID kUsbDeviceInterface = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

std::wstring EnvW(const wchar_t* name) {
  wchar_t buf[1024];
  DWORD n = GetEnvironmentVariableW(name, buf, 1024);
  if (n == 0 || n >= 1024) return {};
  return std::wstring(buf, n);
}
}  // namespace

void Pass() { ++g_passed; }

void Fail(const char* file, int line, const std::string& what) {
  ++g_failed;
  std::fprintf(stdout, "FAILED %s:%d: %s\n", file, line, what.c_str());
  std::fflush(stdout);
}

void Note(const std::string& line) {
  std::fprintf(stdout, "  %s\n", line.c_str());
  std::fflush(stdout);
}

int Failures() { return g_failed; }

int Finish() {
  std::fprintf(stdout, "%d passed, %d failed\n", g_passed, g_failed);
  std::fflush(stdout);
  return g_failed == 0 && g_passed > 0 ? 0 : 1;
}

std::string Show(const std::string& s) {
  std::string hex;
  char b[4];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02X", c);
    hex += b;
  }
  std::string out = "\"";
  out += Utf8(Wide(s));
  out += "\" [";
  out += hex;
  out += "]";
  return out;
}
std::string Show(const std::wstring& s) { return "L\"" + Utf8(s) + "\""; }
std::string Show(const char* s) { return Show(std::string(s ? s : "")); }
std::string Show(long long v) { return std::to_string(v); }

std::wstring Wide(const std::string& gbk) {
  if (gbk.empty()) return {};
  int n = MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), out.data(), n);
  return out;
}

std::string Gbk(const std::wstring& wide) {
  if (wide.empty()) return {};
  int n = WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  return out;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(pollMs);
  }
}

// ---- the program ----

const wchar_t* const kWizardCaption = L"Orvane\u6253\u5370\u673a\u5b89\u88c5\u7a0b\u5e8f";

Program::~Program() {
  if (pi.hProcess != nullptr) {
    if (Running()) Kill();
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
}

bool Program::Running() const {
  return pi.hProcess != nullptr && WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD Program::WaitExit(DWORD timeoutMs) {
  if (pi.hProcess == nullptr) return STILL_ACTIVE;
  if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(pi.hProcess, &code);
  return code;
}

void Program::Kill() {
  if (pi.hProcess != nullptr) {
    TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  }
}

std::wstring InstallFolder() { return L"C:\\vornell"; }
std::wstring ProgramPath() { return InstallFolder() + L"\\Vornell.exe"; }

bool Start(Program& program, const std::wstring& exe, const std::wstring& currentDir,
           const std::wstring& arguments) {
  std::wstring line = L"\"" + exe + L"\"";
  if (!arguments.empty()) line += L" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentDir.empty() ? nullptr : currentDir.c_str(), &si, &program.pi)) {
    Note("could not start " + Utf8(exe) + ", error " + std::to_string(GetLastError()));
    return false;
  }
  return true;
}

namespace {
struct WindowSearch {
  const std::function<bool(HWND)>* wanted;
  HWND found;
};
BOOL CALLBACK WindowSearchProc(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<WindowSearch*>(lp);
  if (!(*s->wanted)(hwnd)) return TRUE;
  s->found = hwnd;
  return FALSE;
}

// The first top-level window that is wanted, looked for until timeoutMs.
HWND WaitForWindow(const std::function<bool(HWND)>& wanted, DWORD timeoutMs) {
  WindowSearch s{&wanted, nullptr};
  WaitUntil([&] {
    EnumWindows(WindowSearchProc, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
  }, timeoutMs);
  return s.found;
}

DWORD ProcessOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}
}  // namespace

HWND FindWindowOf(DWORD pid, const std::wstring& caption, DWORD timeoutMs) {
  return WaitForWindow([&](HWND hwnd) {
    return ProcessOf(hwnd) == pid && IsWindowVisible(hwnd) && TextW(hwnd) == caption;
  }, timeoutMs);
}

bool StartVornell(Program& program, DWORD timeoutMs) {
  return StartVornellAt(program, ProgramPath(), InstallFolder(), timeoutMs);
}

bool SetDpiForNewPrograms(DWORD dpi) {
  HKEY desktop = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &desktop, nullptr) != ERROR_SUCCESS)
    return false;
  const LSTATUS status =
      dpi != 0 ? RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof dpi)
               : RegDeleteValueW(desktop, L"LogPixels");
  RegCloseKey(desktop);
  // This process keeps the DPI it started with; at any other, Wine would map
  // the other program's rectangles into ours.
  SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  return status == ERROR_SUCCESS || (dpi == 0 && status == ERROR_FILE_NOT_FOUND);
}

// ---- controls ----

HWND Item(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::wstring TextW(HWND window) {
  wchar_t buf[8192];
  int n = GetWindowTextW(window, buf, 8192);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string TextGbk(HWND window) { return Gbk(TextW(window)); }
std::string ItemText(HWND dialog, int id) { return TextGbk(Item(dialog, id)); }
bool ItemVisible(HWND dialog, int id) { return IsWindowVisible(Item(dialog, id)) != FALSE; }
bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(Item(dialog, id)) != FALSE; }

bool ItemChecked(HWND dialog, int id) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(Item(dialog, id), BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  return result == BST_CHECKED;
}

void PostClick(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(dialog, id)));
}

bool ClickAsUser(HWND dialog, int id) {
  // Wine delivers a click on a disabled button; a person could not make it.
  if (!ItemVisible(dialog, id) || !ItemEnabled(dialog, id)) return false;
  PostClick(dialog, id);
  return true;
}

bool SendClickAt(HWND dialog, int id) {
  RECT r{};
  if (!GetWindowRect(Item(dialog, id), &r)) return false;
  // SendInput's absolute coordinates span the primary screen as 0..65535.
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return false;
  INPUT in[3] = {};
  for (INPUT& i : in) i.type = INPUT_MOUSE;
  in[0].mi.dx = ((r.left + r.right) / 2) * 65535 / (width - 1);
  in[0].mi.dy = ((r.top + r.bottom) / 2) * 65535 / (height - 1);
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInput(3, in, sizeof(INPUT)) == 3;
}

bool PressKey(WORD key) {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = key;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  return SendInput(2, in, sizeof(INPUT)) == 2;
}

bool WaitForText(HWND dialog, int id, const std::string& gbk, DWORD timeoutMs) {
  return WaitUntil([&] { return ItemText(dialog, id) == gbk; }, timeoutMs);
}

// ---- message boxes ----

HWND WaitForMessageBox(DWORD pid, HWND except, DWORD timeoutMs) {
  return WaitForWindow([&](HWND hwnd) {
    if (ProcessOf(hwnd) != pid || hwnd == except || !IsWindowVisible(hwnd)) return false;
    wchar_t cls[64];
    GetClassNameW(hwnd, cls, 64);
    // A message box carries its text in the static control 0xFFFF.
    return std::wcscmp(cls, L"#32770") == 0 && GetDlgItem(hwnd, 0xFFFF) != nullptr;
  }, timeoutMs);
}

std::string MessageBoxText(HWND box) { return TextGbk(GetDlgItem(box, 0xFFFF)); }
std::string MessageBoxCaption(HWND box) { return TextGbk(box); }
bool MessageBoxHasButton(HWND box, int id) { return GetDlgItem(box, id) != nullptr; }

void AnswerMessageBox(HWND box, int id) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

// ---- screenshots ----

bool SaveScreenshot(HWND window, const std::string& name) {
  std::wstring dir = EnvW(L"VORNELL_SHOTS");
  if (dir.empty()) {
    Note("VORNELL_SHOTS is not set; no screenshot " + name);
    return false;
  }
  RECT r{};
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w <= 0 || h <= 0) return false;
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as a BMP file stores it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = (static_cast<DWORD>(w) * 3 + 3) & ~3u;
  const DWORD size = stride * static_cast<DWORD>(h);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof(BITMAPINFOHEADER);
  fh.bfSize = fh.bfOffBits + size;
  std::ofstream out((dir + L"\\" + Wide(name) + L".bmp").c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof(BITMAPINFOHEADER));
  out.write(static_cast<const char*>(bits), size);
  const bool ok = out.good();
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return ok;
}

COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

// ---- devices ----

const wchar_t* const kPrinterHardwarePrefix = L"USB\\VID_F0E1&PID_C20B";

namespace {
std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

// Wine lists an interface as present only when its Control key says Linked=1.
bool LinkInterface(const std::wstring& serial) {
  HKEY classes = nullptr;
  const wchar_t* path =
      L"System\\CurrentControlSet\\Control\\DeviceClasses\\{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &classes) != ERROR_SUCCESS) {
    Note("no DeviceClasses key for the USB interface class");
    return false;
  }
  bool linked = false;
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD len = 512;
    if (RegEnumKeyExW(classes, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    const std::wstring key = Lower(name);
    if (key.find(L"vid_f0e1&pid_c20b#" + Lower(serial) + L"#") == std::wstring::npos) continue;
    HKEY control = nullptr;
    if (RegCreateKeyExW(classes, (std::wstring(name) + L"\\#\\Control").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &control, nullptr) == ERROR_SUCCESS) {
      DWORD one = 1;
      linked = RegSetValueExW(control, L"Linked", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof one) ==
               ERROR_SUCCESS;
      RegCloseKey(control);
    }
  }
  RegCloseKey(classes);
  if (!linked) Note("the printer's interface key was not found");
  return linked;
}
}  // namespace

bool AttachPrinter(const std::wstring& serial) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  const std::wstring instance = std::wstring(kPrinterHardwarePrefix) + L"\\" + serial;
  // GUID_DEVCLASS_USB
  const GUID usbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
  bool ok = SetupDiCreateDeviceInfoW(set, instance.c_str(), &usbClass, nullptr, nullptr, 0, &device) &&
            SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
  if (ok) {
    const std::wstring ids = std::wstring(kPrinterHardwarePrefix) + L"&REV_0100" + L'\0' +
                             kPrinterHardwarePrefix + L'\0' + L'\0';
    SetupDiSetDeviceRegistryPropertyW(set, &device, SPDRP_HARDWAREID, reinterpret_cast<const BYTE*>(ids.data()),
                                      static_cast<DWORD>(ids.size() * sizeof(wchar_t)));
    SP_DEVICE_INTERFACE_DATA iface{};
    iface.cbSize = sizeof iface;
    ok = SetupDiCreateDeviceInterfaceW(set, &device, &kUsbDeviceInterface, nullptr, 0, &iface) != FALSE;
  }
  if (!ok) Note("attaching the printer failed, error " + std::to_string(GetLastError()));
  SetupDiDestroyDeviceInfoList(set);
  return ok && LinkInterface(serial);
}

bool DetachPrinter(const std::wstring& serial) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
  if (set == INVALID_HANDLE_VALUE) return false;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  const std::wstring instance = std::wstring(kPrinterHardwarePrefix) + L"\\" + serial;
  bool ok = SetupDiOpenDeviceInfoW(set, instance.c_str(), nullptr, 0, &device) &&
            SetupDiRemoveDevice(set, &device);
  if (!ok) Note("detaching the printer failed, error " + std::to_string(GetLastError()));
  SetupDiDestroyDeviceInfoList(set);
  return ok;
}

// ---- spooler ----

bool AddQueue(const std::wstring& name, const std::wstring& driverName) {
  std::wstring driver = driverName;
  wchar_t file[] = L"wineps.drv";
  DRIVER_INFO_3W di{};
  di.cVersion = 3;
  di.pName = driver.data();
  di.pDriverPath = file;
  di.pDataFile = file;
  di.pConfigFile = file;
  if (!AddPrinterDriverExW(nullptr, 3, reinterpret_cast<BYTE*>(&di), APD_COPY_NEW_FILES) &&
      GetLastError() != ERROR_PRINTER_DRIVER_ALREADY_INSTALLED) {
    Note("AddPrinterDriverEx failed, error " + std::to_string(GetLastError()));
  }
  std::wstring printer = name;
  wchar_t port[] = L"FILE:";
  wchar_t processor[] = L"WinPrint";
  // Wine opens a queue (OpenPrinter, so also to delete it) only with a datatype.
  wchar_t datatype[] = L"RAW";
  PRINTER_INFO_2W pi{};
  pi.pDatatype = datatype;
  pi.pPrinterName = printer.data();
  pi.pPortName = port;
  pi.pDriverName = driver.data();
  pi.pPrintProcessor = processor;
  HANDLE h = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&pi));
  if (h != nullptr) ClosePrinter(h);
  // Wine can add the queue and still answer with an error: the list decides.
  if (QueueExists(name)) return true;
  Note("AddPrinter failed, error " + std::to_string(GetLastError()));
  return false;
}

std::vector<std::wstring> QueueNames() {
  DWORD needed = 0, count = 0;
  EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &count);
  std::vector<BYTE> buf(needed + 16);
  std::vector<std::wstring> names;
  if (!EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buf.data(), needed, &needed, &count))
    return names;
  auto* info = reinterpret_cast<PRINTER_INFO_2W*>(buf.data());
  for (DWORD i = 0; i < count; ++i) names.emplace_back(info[i].pPrinterName ? info[i].pPrinterName : L"");
  return names;
}

bool QueueExists(const std::wstring& name) {
  for (const auto& n : QueueNames())
    if (n == name) return true;
  return false;
}

std::wstring PrinterDriverDirectory() {
  wchar_t buf[MAX_PATH * 2] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryW(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(buf), sizeof buf, &needed)) return {};
  return buf;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace wt

namespace wt {

std::wstring BuildFolder() { return EnvW(L"VORNELL_BUILD"); }

bool LoadLibraryInto(HANDLE process, const std::wstring& dll, DWORD timeoutMs) {
  const SIZE_T bytes = (dll.size() + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) {
    Note("VirtualAllocEx failed, error " + std::to_string(GetLastError()));
    return false;
  }
  bool loaded = false;
  if (WriteProcessMemory(process, remote, dll.c_str(), bytes, nullptr)) {
    const auto start = reinterpret_cast<LPTHREAD_START_ROUTINE>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, start, remote, 0, nullptr);
    if (thread == nullptr) {
      Note("CreateRemoteThread failed, error " + std::to_string(GetLastError()));
    } else {
      // The exit code is the low half of the module handle: 0 almost always
      // means NULL, so it is only noted; what the library does tells the rest.
      DWORD module = 0;
      if (WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeThread(thread, &module)) {
        loaded = true;
        if (module == 0) Note("LoadLibraryW in the other process seems to have returned NULL");
      } else {
        Note("the loading thread did not end in time");
      }
      CloseHandle(thread);
    }
  } else {
    Note("WriteProcessMemory failed, error " + std::to_string(GetLastError()));
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return loaded;
}

std::wstring HelperDll(const std::wstring& relative) {
  const std::wstring build = BuildFolder();
  if (!build.empty()) return build + L"\\tests\\wine\\" + relative;
  wchar_t own[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH);
  const std::wstring path(own, n < MAX_PATH ? n : 0);
  const size_t at = path.rfind(L"\\tests\\wine\\");
  return at == std::wstring::npos ? std::wstring() : path.substr(0, at) + L"\\tests\\wine\\" + relative;
}

bool SwitchHighContrast(const Program& program, bool on) {
  static DWORD loadedInto = 0;
  const std::wstring report = L"C:\\high-contrast.txt";
  auto value = [&](const wchar_t* key) { return ValueOf(ReadFileWide(report), key); };
  if (loadedInto != program.pid()) {
    DeleteFileW(report.c_str());
    const std::wstring dll = HelperDll(L"high_contrast\\high_contrast.dll");
    if (!FileExists(dll) || !LoadLibraryInto(program.pi.hProcess, dll, 10000) ||
        !WaitUntil([&] { return value(L"switches") == L"0"; }, 10000)) {
      Note("high contrast: the switch could not be loaded from " + Utf8(dll));
      return false;
    }
    if (value(L"patched") != L"1") {
      Note("high contrast: the program's SystemParametersInfoW import was not found");
      return false;
    }
    loadedInto = program.pid();
  }
  const std::wstring want = on ? L"1" : L"0";
  if (value(L"on") == want) return true;
  const std::wstring before = value(L"switches");
  HANDLE signal = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"VornellHighContrastSwitch");
  if (signal == nullptr) return false;
  SetEvent(signal);
  CloseHandle(signal);
  if (!WaitUntil([&] { return value(L"switches") != before && value(L"on") == want; }, 10000)) {
    Note(std::string("high contrast: not switched ") + (on ? "on" : "off"));
    return false;
  }
  return true;
}

std::wstring ReadFileWide(const std::wstring& path) {
  const std::string bytes = ReadFileBytes(path);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

std::wstring ValueOf(const std::wstring& lines, const std::wstring& key) {
  const std::wstring head = key + L"=";
  size_t at = 0;
  while (at < lines.size()) {
    size_t end = lines.find(L'\n', at);
    if (end == std::wstring::npos) end = lines.size();
    if (lines.compare(at, head.size(), head) == 0) return lines.substr(at + head.size(), end - at - head.size());
    at = end + 1;
  }
  return L"\x1F<missing>";
}

}  // namespace wt

// ---- the wizard's route ----

namespace wt {

namespace {

// Wine's own export: the Unix name of a DOS path, on the process heap.
std::string UnixFileName(const std::wstring& dosPath) {
  using UnixNameFunction = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return {};
  char* name = unixName(dosPath.c_str());
  if (name == nullptr) return {};
  std::string out(name);
  HeapFree(GetProcessHeap(), 0, name);
  return out;
}

// The current environment with one variable set, as CreateProcessW takes it.
std::vector<wchar_t> EnvironmentWith(const std::wstring& name, const std::wstring& value) {
  std::vector<wchar_t> block;
  wchar_t* strings = GetEnvironmentStringsW();
  const std::wstring head = name + L"=";
  for (const wchar_t* p = strings; p != nullptr && *p != L'\0'; p += wcslen(p) + 1) {
    if (_wcsnicmp(p, head.c_str(), head.size()) == 0) continue;
    block.insert(block.end(), p, p + wcslen(p) + 1);
  }
  if (strings != nullptr) FreeEnvironmentStringsW(strings);
  const std::wstring entry = head + value;
  block.insert(block.end(), entry.begin(), entry.end());
  block.push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

const int kDrivenControls[] = {1001, 1002, 1003, 1004, 1005, 1007, 1008,
                               1010, 1011, 1012, 1018, 1019, 1020, 1022};
const int kHeaderControls[] = {1009, 1014, 1016};

// The wizard's own description of its pages.
const vornell::PageLook& LookOf(WizardPage page) { return vornell::Page(page); }

}  // namespace

const char* const kStatusRetry = vornell::Page(WizardPage::kRetry).status;
const char* const kStatusFound = vornell::Page(WizardPage::kConnection).status;
const char* const kStatusInstalling = vornell::Page(WizardPage::kInstall).status;
const char* const kStatusInstalled = vornell::Page(WizardPage::kSuccess).status;
const char* const kStatusFailed = vornell::Page(WizardPage::kFailure).status;

std::wstring AppsEntryValue(const wchar_t* name) {
  wchar_t value[1024] = {};
  DWORD bytes = sizeof value;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Orvane.Vornell", name,
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, value, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  return value;
}

std::wstring PrinterQueueName() { return Wide("Orvane RX730TⅡ"); }

bool StartVornellWithWineDebug(Program& program, const std::string& wineDebug,
                               const std::wstring& logPath, DWORD timeoutMs) {
  // The file must exist for Wine to name it, and starts empty.
  HANDLE created = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, CREATE_ALWAYS, 0, nullptr);
  if (created == INVALID_HANDLE_VALUE) {
    Note("cannot create the debug log, error " + std::to_string(GetLastError()));
    return false;
  }
  CloseHandle(created);
  const std::string unixLog = UnixFileName(logPath);
  if (unixLog.empty() || unixLog.find('\'') != std::string::npos) {
    Note("no usable Unix name for the debug log (not under Wine?)");
    return false;
  }
  // Wine runs a non-PE program as a Unix process, passing the environment
  // block; the loader is the one the harness uses.
  std::wstring line = L"Z:\\bin\\sh -c \"exec /usr/lib/wine/wine64 '" + ProgramPath() + L"' 2>>'" +
                      FromUtf8(unixLog.c_str()) + L"'\"";
  std::vector<wchar_t> environment = EnvironmentWith(L"WINEDEBUG", Wide(wineDebug));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION shell{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      environment.data(), InstallFolder().c_str(), &si, &shell)) {
    Note("could not start the Unix shell, error " + std::to_string(GetLastError()));
    return false;
  }
  if (shell.hThread != nullptr) CloseHandle(shell.hThread);
  if (shell.hProcess != nullptr) CloseHandle(shell.hProcess);

  // The window with the wizard's caption of any process other than this one.
  const HWND found = WaitForWindow([](HWND hwnd) {
    return ProcessOf(hwnd) != GetCurrentProcessId() && IsWindowVisible(hwnd) && TextW(hwnd) == kWizardCaption;
  }, timeoutMs);
  if (found == nullptr) {
    Note("the wizard window did not appear");
    return false;
  }
  const DWORD pid = ProcessOf(found);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION |
                                   PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) {
    Note("cannot open the wizard's process, error " + std::to_string(GetLastError()));
    return false;
  }
  program.pi.hProcess = process;
  program.pi.hThread = nullptr;
  program.pi.dwProcessId = pid;
  program.window = found;
  return true;
}

const char* PageName(WizardPage page) { return LookOf(page).name; }

std::string PageDifferences(HWND dialog, WizardPage page) {
  const vornell::PageLook& look = LookOf(page);
  std::string out;
  auto differ = [&](const std::string& what) { out += what + "\n"; };
  if (!IsWindowVisible(dialog)) differ("the wizard window is hidden");
  for (int id : kHeaderControls)
    if (!ItemVisible(dialog, id)) differ(std::to_string(id) + " hidden");
  for (int id : kDrivenControls) {
    bool want = id == 1001;
    for (int shown : look.shown) want = want || shown == id;
    if (id == 1002) want = look.back != nullptr;
    if (id == 1018) want = look.status != nullptr;
    if (ItemVisible(dialog, id) != want) differ(std::to_string(id) + (want ? " hidden" : " shown"));
  }
  if (look.status != nullptr && ItemText(dialog, 1018) != look.status)
    differ("1018 reads " + Show(ItemText(dialog, 1018)));
  if (ItemText(dialog, 1001) != look.next) differ("1001 reads " + Show(ItemText(dialog, 1001)));
  if (ItemEnabled(dialog, 1001) != look.nextEnabled)
    differ(std::string("1001 ") + (look.nextEnabled ? "disabled" : "enabled"));
  if (look.back != nullptr) {
    if (ItemText(dialog, 1002) != look.back) differ("1002 reads " + Show(ItemText(dialog, 1002)));
    if (ItemEnabled(dialog, 1002) != look.backEnabled)
      differ(std::string("1002 ") + (look.backEnabled ? "disabled" : "enabled"));
  }
  if (look.boxesChecked) {
    for (int id : {1019, 1020})
      if (!ItemChecked(dialog, id)) differ(std::to_string(id) + " not checked");
  }
  return out;
}

bool WaitForPage(HWND dialog, WizardPage page, DWORD timeoutMs) {
  return WaitUntil([&] { return PageDifferences(dialog, page).empty(); }, timeoutMs);
}

bool Answers(HWND window, DWORD timeoutMs, DWORD* tookMs) {
  DWORD_PTR result = 0;
  const ULONGLONG start = GetTickCount64();
  const bool answered =
      SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
  if (tookMs != nullptr) *tookMs = static_cast<DWORD>(GetTickCount64() - start);
  return answered;
}

int ProgressPosition(HWND dialog, int id) {
  DWORD_PTR position = 0;
  if (!SendMessageTimeoutW(Item(dialog, id), PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 5000, &position))
    return -1;
  return static_cast<int>(position);
}

bool ProgressRange(HWND dialog, int id, int& low, int& high) {
  DWORD_PTR l = 0, h = 0;
  if (!SendMessageTimeoutW(Item(dialog, id), PBM_GETRANGE, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &l) ||
      !SendMessageTimeoutW(Item(dialog, id), PBM_GETRANGE, FALSE, 0, SMTO_ABORTIFHUNG, 5000, &h))
    return false;
  low = static_cast<int>(l);
  high = static_cast<int>(h);
  return true;
}

std::wstring FullTextW(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  // Room for the text in bytes: Wine hands a wide request to an ANSI window
  // (the RichEdit20A box) as a request of as many bytes, which fails rather
  // than truncates when the double-byte text does not fit.
  std::wstring text((static_cast<size_t>(length) + 1) * 2, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &got))
    return {};
  text.resize(std::min<size_t>(static_cast<size_t>(got), text.size()));
  return text;
}

int FirstVisibleLine(HWND edit) {
  DWORD_PTR line = 0;
  if (!SendMessageTimeoutW(edit, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 5000, &line)) return -1;
  return static_cast<int>(line);
}

void ScrollToEnd(HWND edit) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1, SMTO_ABORTIFHUNG, 5000, &ignored);
  SendMessageTimeoutW(edit, EM_SCROLLCARET, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  SendMessageTimeoutW(edit, WM_VSCROLL, SB_BOTTOM, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
}

std::vector<std::wstring> ModulePaths(HANDLE process) {
  std::vector<std::wstring> paths;
  std::vector<HMODULE> modules(512);
  DWORD needed = 0;
  if (!EnumProcessModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                          &needed))
    return paths;
  modules.resize(std::min<size_t>(modules.size(), needed / sizeof(HMODULE)));
  for (HMODULE m : modules) {
    wchar_t name[MAX_PATH * 2] = {};
    if (GetModuleFileNameExW(process, m, name, MAX_PATH * 2) != 0) paths.emplace_back(name);
  }
  return paths;
}

}  // namespace wt

#include <algorithm>
#include <cstddef>
#include <winternl.h>

namespace wt {

namespace {
// The head of the process parameters block as 64-bit Windows lays it out.
struct ParametersHead {
  ULONG maximumLength, length, flags, debugFlags;
  HANDLE console;
  ULONG consoleFlags;
  HANDLE input, output, error;
  UNICODE_STRING currentDirectory;
  HANDLE currentDirectoryHandle;
  UNICODE_STRING dllPath, imagePath, commandLine;
  void* environment;
  ULONG startingX, startingY, countX, countY, countCharsX, countCharsY, fillAttribute;
  ULONG windowFlags, showWindowFlags;
};
static_assert(offsetof(ParametersHead, currentDirectory) == 0x38, "x64 layout");
static_assert(offsetof(ParametersHead, commandLine) == 0x70, "x64 layout");
static_assert(offsetof(ParametersHead, showWindowFlags) == 0xA8, "x64 layout");

std::wstring ReadText(HANDLE process, const UNICODE_STRING& text) {
  if (text.Buffer == nullptr || text.Length == 0) return {};
  std::wstring out(text.Length / sizeof(wchar_t), L'\0');
  if (!ReadProcessMemory(process, text.Buffer, out.data(), text.Length, nullptr)) return {};
  return out;
}

// One look at the process's image and its own parameters block (command line,
// current directory); false while it is still being set up.
bool LookAt(HANDLE process, StartedProcess& into) {
  using Query = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  if (into.image.empty()) {
    wchar_t image[1024] = {};
    DWORD size = 1024;
    if (QueryFullProcessImageNameW(process, 0, image, &size)) into.image.assign(image, size);
  }
  PROCESS_BASIC_INFORMATION basic{};
  PEB peb{};
  ParametersHead head{};
  if (query == nullptr || query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0 ||
      basic.PebBaseAddress == nullptr ||
      !ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) ||
      peb.ProcessParameters == nullptr ||
      !ReadProcessMemory(process, peb.ProcessParameters, &head, sizeof head, nullptr)) {
    return false;
  }
  into.commandLine = ReadText(process, head.commandLine);
  into.currentDirectory = ReadText(process, head.currentDirectory);
  into.startFlags = head.windowFlags;
  into.showWindow = head.showWindowFlags;
  return !into.image.empty() && !into.commandLine.empty();
}

// Waits 10 ms for the process to end. Wine's process object is signalled
// while it has no running thread, which includes the moment the job tells of
// it, before its first thread: only an exit code says it has really ended.
bool HasEnded(HANDLE process) {
  const DWORD waited = WaitForSingleObject(process, 10);
  if (waited == WAIT_TIMEOUT) return false;
  DWORD code = 0;
  if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code) && code == STILL_ACTIVE) {
    Sleep(10);
    return false;
  }
  return true;
}

// The job tells of a process as soon as it exists, while Wine still sets
// up its parameters (the current directory gets its final backslash last):
// look until two looks a little apart agree on a finished block, or the
// process has gone.
void ReadProcess(HANDLE process, StartedProcess& into) {
  const ULONGLONG end = GetTickCount64() + 5000;
  StartedProcess previous;
  bool havePrevious = false;
  while (GetTickCount64() < end) {
    StartedProcess look;
    look.pid = into.pid;
    const bool finished = LookAt(process, look) && !look.currentDirectory.empty() &&
                          look.currentDirectory.back() == L'\\';
    if (finished && havePrevious && look.image == previous.image &&
        look.commandLine == previous.commandLine && look.currentDirectory == previous.currentDirectory &&
        look.startFlags == previous.startFlags && look.showWindow == previous.showWindow) {
      into = look;
      return;
    }
    previous = look;
    havePrevious = finished;
    if (HasEnded(process)) break;
  }
  if (havePrevious) into = previous;  // seen finished once before it went
}

}  // namespace

struct ProcessWatch::State {
  HANDLE job = nullptr;
  HANDLE port = nullptr;
  HANDLE thread = nullptr;
  CRITICAL_SECTION lock;
  std::vector<StartedProcess> started;  // not yet collected
  ULONGLONG lastNews = 0;

  static DWORD WINAPI Listen(void* self) {
    auto* state = static_cast<State*>(self);
    for (;;) {
      DWORD message = 0;
      ULONG_PTR key = 0;
      OVERLAPPED* data = nullptr;
      if (!GetQueuedCompletionStatus(state->port, &message, &key, &data, INFINITE)) return 0;
      if (key == 1) return 0;  // the watch ends
      if (message != JOB_OBJECT_MSG_NEW_PROCESS) continue;
      StartedProcess process;
      process.pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(data));
      if (process.pid == GetCurrentProcessId()) continue;
      HANDLE handle =
          OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, process.pid);
      if (handle != nullptr) {
        ReadProcess(handle, process);
        CloseHandle(handle);
      }
      EnterCriticalSection(&state->lock);
      state->started.push_back(std::move(process));
      state->lastNews = GetTickCount64();
      LeaveCriticalSection(&state->lock);
    }
  }
};

ProcessWatch::~ProcessWatch() {
  if (state_ == nullptr) return;
  if (state_->thread != nullptr) {
    PostQueuedCompletionStatus(state_->port, 0, 1, nullptr);
    WaitForSingleObject(state_->thread, 5000);
    CloseHandle(state_->thread);
  }
  if (state_->port != nullptr) CloseHandle(state_->port);
  DeleteCriticalSection(&state_->lock);
  // The job stays with the process: it cannot leave it.
  delete state_;
}

bool ProcessWatch::Begin() {
  if (state_ != nullptr) return false;
  state_ = new State;
  InitializeCriticalSection(&state_->lock);
  state_->job = CreateJobObjectW(nullptr, nullptr);
  state_->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
  if (state_->job == nullptr || state_->port == nullptr) return false;
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT link{state_->job, state_->port};
  if (!SetInformationJobObject(state_->job, JobObjectAssociateCompletionPortInformation, &link,
                               sizeof link) ||
      !AssignProcessToJobObject(state_->job, GetCurrentProcess())) {
    Note("the process watch could not start, error " + std::to_string(GetLastError()));
    return false;
  }
  state_->thread = CreateThread(nullptr, 0, &State::Listen, state_, 0, nullptr);
  return state_->thread != nullptr;
}

std::vector<StartedProcess> ProcessWatch::Collect(DWORD quietMs, DWORD maxMs) {
  std::vector<StartedProcess> started;
  if (state_ == nullptr) return started;
  const ULONGLONG begin = GetTickCount64();
  for (;;) {
    EnterCriticalSection(&state_->lock);
    const ULONGLONG last = std::max(state_->lastNews, begin);
    LeaveCriticalSection(&state_->lock);
    const ULONGLONG now = GetTickCount64();
    if (now - last >= quietMs || now - begin >= maxMs) break;
    Sleep(50);
  }
  EnterCriticalSection(&state_->lock);
  started.swap(state_->started);
  LeaveCriticalSection(&state_->lock);
  return started;
}

}  // namespace wt

namespace wt {

// ---- another process's memory ----

RemoteMemory::RemoteMemory(HANDLE process, size_t size) : process_(process), size_(size) {
  address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (address_ == nullptr) Note("VirtualAllocEx failed, error " + std::to_string(GetLastError()));
}

RemoteMemory::~RemoteMemory() {
  if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
}

bool RemoteMemory::Write(const void* data, size_t size, size_t offset) {
  if (address_ == nullptr || offset + size > size_) return false;
  SIZE_T done = 0;
  return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) && done == size;
}

bool RemoteMemory::Read(void* data, size_t size, size_t offset) const {
  if (address_ == nullptr || offset + size > size_) return false;
  SIZE_T done = 0;
  return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &done) && done == size;
}

bool SendWithin(HWND window, UINT message, WPARAM w, LPARAM l, LRESULT& result, DWORD timeoutMs) {
  DWORD_PTR r = 0;
  const bool answered = SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, timeoutMs, &r) != 0;
  result = static_cast<LRESULT>(r);
  return answered;
}

// ---- pixels ----

ClientPixels ReadBitmapPixels(HBITMAP bitmap, int width, int height) {
  ClientPixels out;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top-down rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<DWORD> bgra(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, height, bgra.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return out;
  out.width = width;
  out.height = height;
  out.pixels.resize(bgra.size());
  for (size_t i = 0; i < bgra.size(); ++i) {
    const DWORD p = bgra[i];
    out.pixels[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  return out;
}

ClientPixels CaptureClient(HWND window) {
  RECT client{};
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return {};
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(mem, bitmap);
  BitBlt(mem, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
  SelectObject(mem, old);
  ClientPixels out = ReadBitmapPixels(bitmap, client.right, client.bottom);
  DeleteObject(bitmap);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  return out;
}

RECT ItemClientRect(HWND dialog, int id) {
  RECT r{};
  GetWindowRect(Item(dialog, id), &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::string ShowColor(COLORREF c) {
  char b[32];
  std::snprintf(b, sizeof b, "rgb(%u,%u,%u)", GetRValue(c), GetGValue(c), GetBValue(c));
  return b;
}

}  // namespace wt

namespace wt {

// ---- a hostile environment ----

std::wstring LongPath(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

bool MakeFolders(const std::wstring& path) {
  // After the drive's root, one folder at a time.
  for (size_t at = path.find(L'\\', 3); ; at = path.find(L'\\', at + 1)) {
    const std::wstring folder = path.substr(0, at);
    CreateDirectoryW(LongPath(folder).c_str(), nullptr);
    if (at == std::wstring::npos) break;
  }
  const DWORD attributes = FileAttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  HANDLE walk = FindFirstFileW(LongPath(path + L"\\*").c_str(), &found);
  if (walk != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      // A link is removed, never followed.
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
          (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(LongPath(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(LongPath(child).c_str());
      }
    } while (FindNextFileW(walk, &found));
    FindClose(walk);
  }
  RemoveDirectoryW(LongPath(path).c_str());
  return FileAttributesOf(path) == INVALID_FILE_ATTRIBUTES;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(LongPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

DWORD FileAttributesOf(const std::wstring& path) { return GetFileAttributesW(LongPath(path).c_str()); }

std::vector<std::wstring> FolderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE walk = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &found);
  if (walk == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(walk, &found));
  FindClose(walk);
  return names;
}

std::wstring PackageFolder() { return InstallFolder() + L"\\x64\\driver"; }

std::vector<std::wstring> PackageFileNames() {
  return {L"RX730TP.INF", L"RX730TP.dll", L"RX730TP.gpd", L"UNIDRV.DLL",
          L"UNIDRV.HLP",  L"UNIDRVUI.DLL", L"UNIRES.DLL", L"STDNAMES.GPD", L"RX730TP.cat"};
}

bool CopyPackageTo(const std::wstring& folder, bool withProgram) {
  const std::wstring target = folder + L"\\x64\\driver";
  if (!MakeFolders(target)) {
    Note("could not make " + Gbk(target));
    return false;
  }
  bool ok = true;
  for (const std::wstring& name : PackageFileNames()) {
    ok = CopyFileW(LongPath(PackageFolder() + L"\\" + name).c_str(),
                   LongPath(target + L"\\" + name).c_str(), FALSE) && ok;
  }
  if (withProgram) {
    ok = CopyFileW(ProgramPath().c_str(), LongPath(folder + L"\\Vornell.exe").c_str(), FALSE) && ok;
  }
  if (!ok) Note("copying the package to " + Gbk(folder) + " failed, error " + std::to_string(GetLastError()));
  return ok;
}

namespace {
std::wstring Capitals(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

void SnapshotInto(const std::wstring& folder, TreeSnapshot& tree) {
  WIN32_FIND_DATAW found{};
  HANDLE walk = FindFirstFileW(LongPath(folder + L"\\*").c_str(), &found);
  if (walk == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    FileFacts facts;
    facts.size = (ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
    facts.attributes = found.dwFileAttributes;
    facts.written = (ULONGLONG{found.ftLastWriteTime.dwHighDateTime} << 32) | found.ftLastWriteTime.dwLowDateTime;
    // A folder's own time changes with what it holds; its entries tell that.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) facts.written = 0;
    tree[Capitals(path)] = facts;
    // Wine links the user's folders to the Unix home: never followed.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
        (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      SnapshotInto(path, tree);
    }
  } while (FindNextFileW(walk, &found));
  FindClose(walk);
}

bool IsInside(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == L'\\';
}
}  // namespace

TreeSnapshot SnapshotTree(const std::wstring& root) {
  TreeSnapshot tree;
  std::wstring start = root;
  while (!start.empty() && start.back() == L'\\') start.pop_back();
  SnapshotInto(start, tree);
  return tree;
}

std::vector<std::wstring> TreeChanges(const TreeSnapshot& before, const TreeSnapshot& after,
                                      const std::vector<std::wstring>& ignored) {
  std::vector<std::wstring> folders;
  for (const std::wstring& folder : ignored) {
    std::wstring f = Capitals(folder);
    while (!f.empty() && f.back() == L'\\') f.pop_back();
    folders.push_back(f);
  }
  auto kept = [&](const std::wstring& path) {
    for (const std::wstring& f : folders)
      if (path == f || IsInside(path, f)) return false;
    return true;
  };
  std::vector<std::wstring> changes;
  for (const auto& [path, facts] : after) {
    if (!kept(path)) continue;
    const auto old = before.find(path);
    if (old == before.end()) changes.push_back(L"+ " + path);
    else if (!(old->second == facts)) changes.push_back(L"* " + path);
  }
  for (const auto& [path, facts] : before) {
    if (kept(path) && after.count(path) == 0) changes.push_back(L"- " + path);
  }
  return changes;
}

bool StartVornellAt(Program& program, const std::wstring& exe, const std::wstring& currentDir,
                    DWORD timeoutMs) {
  if (!Start(program, exe, currentDir)) return false;
  program.window = FindWindowOf(program.pid(), kWizardCaption, timeoutMs);
  if (program.window == nullptr) Note("the wizard window did not appear");
  return program.window != nullptr;
}

bool AdoptProcess(Program& program, DWORD pid) {
  program.pi.hProcess =
      OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
  program.pi.dwProcessId = pid;
  return program.pi.hProcess != nullptr;
}

bool WalkToInstall(HWND dialog, DWORD timeoutMs) {
  if (!WaitForPage(dialog, WizardPage::kLicense, timeoutMs)) {
    Note("the license page did not settle:\n" + PageDifferences(dialog, WizardPage::kLicense));
    return false;
  }
  ClickAsUser(dialog, 1001);
  if (!WaitForPage(dialog, WizardPage::kConnection, timeoutMs)) {
    Note("the connection page did not come:\n" + PageDifferences(dialog, WizardPage::kConnection));
    return false;
  }
  return ClickAsUser(dialog, 1001);
}

bool FinishQuietly(Program& program, DWORD timeoutMs) {
  for (int id : {1019, 1020}) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(Item(program.window, id), BM_SETCHECK, BST_UNCHECKED, 0, SMTO_ABORTIFHUNG, 5000,
                        &ignored);
  }
  if (!ClickAsUser(program.window, 1001)) return false;
  return program.WaitExit(timeoutMs) != STILL_ACTIVE;
}

}  // namespace wt

namespace wt {

// ---- steps and facts several tests share ----

std::string ShowSeconds(ULONGLONG ms) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f s", static_cast<double>(ms) / 1000.0);
  return b;
}

bool WalkToWorkers(HWND dialog, DWORD timeoutMs) {
  if (!WalkToInstall(dialog, timeoutMs)) return false;
  if (!WaitForText(dialog, 1018, kStatusInstalling, timeoutMs)) {
    Note("the install page did not come, 1018 reads " + Show(ItemText(dialog, 1018)));
    return false;
  }
  // Polled often: the tests time the workers from this moment.
  if (!WaitUntil([&] { return ProgressPosition(dialog, 1008) == 10; }, 10000, 10)) {
    Note("the bar did not reach 10, it stands at " + std::to_string(ProgressPosition(dialog, 1008)));
    return false;
  }
  return true;
}

bool WaitForSuccessPage(Program& program, DWORD timeoutMs) {
  if (WaitForPage(program.window, WizardPage::kSuccess, timeoutMs)) return true;
  Note(PageDifferences(program.window, WizardPage::kSuccess));
  const HWND box = WaitForMessageBox(program.pid(), program.window, 1000);
  if (box != nullptr) Note("a box says " + Show(MessageBoxText(box)));
  return false;
}

std::wstring StagingFolder() { return PrinterDriverDirectory() + L"\\3"; }

void ClearStagedPackage() {
  for (const std::wstring& name : PackageFileNames()) {
    SetFileAttributesW((StagingFolder() + L"\\" + name).c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW((StagingFolder() + L"\\" + name).c_str());
  }
}

std::vector<std::wstring> WrittenOutsideDriverDirectory(const TreeSnapshot& before) {
  // Besides the driver directory the wizard writes its own log; while it
  // runs its install lock, a file under Wine, which has no private
  // namespaces; and after a success the program copy for Apps & features
  // and the package's INF in the driver store (under its own name in Wine).
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::vector<std::wstring> changes =
      TreeChanges(before, SnapshotTree(L"C:\\"),
                  {PrinterDriverDirectory(), std::wstring(temp) + L"Vornell.log",
                   L"C:\\windows\\Orvane.Vornell.Install.lock", L"C:\\Program Files\\Orvane",
                   L"C:\\windows\\inf\\RX730TP.INF", L"C:\\windows\\inf\\RX730TP.PNF"});
  for (const std::wstring& change : changes) Note("written outside the driver directory: " + Gbk(change));
  return changes;
}

const char* const kBoxFilesMissing = "错误提示：   缺失安装文件，请重新下载安装程序";
const char* const kBoxCopyFailed = "错误提示：   文件在复制过程中失败，请退出重新安装";
const char* const kBoxErrorCaption = "错误提示";

}  // namespace wt
