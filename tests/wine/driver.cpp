#include "tests/wine/driver.h"

#include <setupapi.h>
#include <winspool.h>

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

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
  return out;
}

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
struct FindState {
  DWORD pid;
  const std::wstring* caption;
  HWND found;
};
BOOL CALLBACK FindProc(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<FindState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
  if (TextW(hwnd) == *s->caption) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND FindWindowOf(DWORD pid, const std::wstring& caption, DWORD timeoutMs) {
  FindState s{pid, &caption, nullptr};
  WaitUntil([&] {
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
  }, timeoutMs);
  return s.found;
}

bool StartVornell(Program& program, DWORD timeoutMs) {
  if (!Start(program, ProgramPath(), InstallFolder())) return false;
  program.window = FindWindowOf(program.pid(), kWizardCaption, timeoutMs);
  if (program.window == nullptr) Note("the wizard window did not appear");
  return program.window != nullptr;
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

bool WaitForText(HWND dialog, int id, const std::string& gbk, DWORD timeoutMs) {
  return WaitUntil([&] { return ItemText(dialog, id) == gbk; }, timeoutMs);
}

// ---- message boxes ----

namespace {
struct BoxState {
  DWORD pid;
  HWND except;
  HWND found;
};
BOOL CALLBACK BoxProc(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<BoxState*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || hwnd == s->except || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t cls[64];
  GetClassNameW(hwnd, cls, 64);
  if (std::wcscmp(cls, L"#32770") != 0) return TRUE;
  // A message box carries its text in the static control 0xFFFF.
  if (GetDlgItem(hwnd, 0xFFFF) == nullptr) return TRUE;
  s->found = hwnd;
  return FALSE;
}
}  // namespace

HWND WaitForMessageBox(DWORD pid, HWND except, DWORD timeoutMs) {
  BoxState s{pid, except, nullptr};
  WaitUntil([&] {
    EnumWindows(BoxProc, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
  }, timeoutMs);
  return s.found;
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

bool AddQueue(const std::wstring& name) {
  std::wstring driver = L"Vornell Test Driver";
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
  PRINTER_INFO_2W pi{};
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
