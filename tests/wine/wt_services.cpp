// The real window and the real printer and device services under Wine: the
// header labels and their fonts, the about item of the system menu, the
// printer-driver directory, USB device paths with a printer attached and
// detached, and queues found through the two-call printer enumeration.
#include <cstring>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/services.h"
#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t kProbeFile[] = L"C:\\window-probe.txt";
const wchar_t kSerial[] = L"RX7300042";
constexpr std::uint32_t kUsbFlags = vornell::kDigcfPresent | vornell::kDigcfDeviceInterface;
constexpr std::uint32_t kEnumFlags = vornell::kPrinterEnumLocal | vornell::kPrinterEnumConnections;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// ---- the window ----

// What Wine will not give another process is read inside Vornell.exe.
std::wstring ProbeWindow(Program& p) {
  DeleteFileW(kProbeFile);
  const std::wstring dll = BuildFolder() + L"\\tests\\wine\\planted\\window_probe.dll";
  WT_CHECK(FileExists(dll));
  WT_CHECK(LoadLibraryInto(p.pi.hProcess, dll, 10000));
  WT_CHECK(WaitUntil([] { return FileExists(kProbeFile); }, 10000));
  return ReadFileWide(kProbeFile);
}

void CheckFont(const std::wstring& probe, int id, int height, const char* face) {
  const std::wstring key = L"font" + std::to_wstring(id);
  WT_CHECK_EQ(ValueOf(probe, key + L".handle"), std::wstring(L"yes"));
  WT_CHECK_EQ(ValueOf(probe, key + L".object"), std::to_wstring(sizeof(LOGFONTW)));
  WT_CHECK_EQ(ValueOf(probe, key + L".height"), std::to_wstring(height));
  WT_CHECK_EQ(ValueOf(probe, key + L".face"), Wide(face));
  WT_CHECK_EQ(ValueOf(probe, key + L".weight"), std::wstring(L"400"));
  WT_CHECK_EQ(ValueOf(probe, key + L".charset"), std::wstring(L"0"));
  WT_CHECK_EQ(ValueOf(probe, key + L".pitch"), std::wstring(L"32"));  // FF_SWISS | DEFAULT_PITCH
}

void CheckSystemMenu(const std::wstring& probe) {
  const int count = _wtoi(ValueOf(probe, L"menu.count").c_str());
  WT_CHECK(count >= 2);
  if (count < 2) return;
  const std::wstring last = L"menu." + std::to_wstring(count - 1);
  const std::wstring before = L"menu." + std::to_wstring(count - 2);
  WT_CHECK_EQ(ValueOf(probe, before + L".type"), std::to_wstring(MFT_SEPARATOR));
  WT_CHECK_EQ(ValueOf(probe, last + L".type"), std::to_wstring(MFT_STRING));
  WT_CHECK_EQ(ValueOf(probe, last + L".id"), std::wstring(L"16"));
  WT_CHECK_EQ(ValueOf(probe, last + L".text"), Wide("关于 Vornell(&A)..."));
  // Added once, not once per initialisation.
  int aboutItems = 0;
  for (int i = 0; i < count; ++i)
    if (ValueOf(probe, L"menu." + std::to_wstring(i) + L".id") == L"16") ++aboutItems;
  WT_CHECK_EQ(aboutItems, 1);
}

void CheckWindow() {
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return;
  Sleep(1000);
  WT_CHECK_EQ(TextW(Item(p.window, 1009)), Wide("Orvane RX730TⅡ"));

  // What the test process itself is allowed to see of them.
  HMENU menu = GetSystemMenu(p.window, FALSE);
  Note(std::string("GetSystemMenu of Vornell's window from the test process: ") +
       (menu == nullptr ? "NULL" : std::to_string(GetMenuItemCount(menu)) + " items"));
  DWORD_PTR font = 0;
  const LRESULT sent = SendMessageTimeoutW(Item(p.window, 1009), WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG,
                                           5000, &font);
  Note("WM_GETFONT to label 1009 from the test process: " +
       std::string(sent == 0 ? "refused" : (font == 0 ? "no font" : "a handle")));

  const std::wstring probe = ProbeWindow(p);
  WT_CHECK_EQ(ValueOf(probe, L"window"), std::wstring(L"yes"));
  WT_CHECK_EQ(ValueOf(probe, L"end"), std::wstring(L"1"));
  CheckFont(probe, 1009, 23, "微软雅黑");
  CheckFont(probe, 1014, 18, "仿宋");
  CheckSystemMenu(probe);
  SaveScreenshot(p.window, "services-window");
  p.Kill();
}

// ---- the printer-driver directory ----

void CheckDriverDirectory() {
  vornell::Services& services = vornell::GetServices();
  const std::string expected = Gbk(PrinterDriverDirectory());
  WT_CHECK(!expected.empty());
  Note("printer-driver directory: " + expected);

  char buffer[260];
  std::memset(buffer, 'x', sizeof buffer);
  WT_CHECK(services.GetDriverDirectory(buffer, sizeof buffer));
  WT_CHECK_EQ(std::string(buffer, strnlen(buffer, sizeof buffer)), expected);

  // Exactly the room for the text and its zero is enough; one byte less is not.
  std::vector<char> tight(expected.size() + 1, 'x');
  WT_CHECK(services.GetDriverDirectory(tight.data(), static_cast<std::uint32_t>(tight.size())));
  WT_CHECK_EQ(std::string(tight.data()), expected);
  std::vector<char> shorter(expected.size(), 'x');
  WT_CHECK(!services.GetDriverDirectory(shorter.data(), static_cast<std::uint32_t>(shorter.size())));
  WT_CHECK_EQ(services.LastError(), 122u);  // ERROR_INSUFFICIENT_BUFFER
}

// ---- USB device interfaces ----

std::vector<std::string> UsbPaths() {
  vornell::Services& services = vornell::GetServices();
  std::vector<std::string> paths;
  vornell::DeviceSet set = services.GetUsbDeviceSet(kUsbFlags);
  WT_CHECK(set != nullptr);
  if (set == nullptr) return paths;
  for (std::uint32_t i = 0; services.EnumUsbDeviceInterface(set, i); ++i) {
    char path[1016];
    if (services.GetUsbDeviceInterfacePath(set, i, path, sizeof path)) {
      paths.emplace_back(path);
    } else {
      paths.emplace_back("<no path>");
    }
  }
  services.DestroyDeviceSet(set);
  return paths;
}

// The index of the printer's interface, or -1.
int PrinterIndex(const std::vector<std::string>& paths, const std::string& serial) {
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string lower = Lower(paths[i]);
    if (lower.find("vid_f0e1&pid_c20b") != std::string::npos ||
        lower.find(Lower(serial)) != std::string::npos) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

void CheckUsb() {
  vornell::Services& services = vornell::GetServices();
  const std::string serial = Gbk(kSerial);

  const std::vector<std::string> before = UsbPaths();
  Note("USB interfaces before the printer: " + std::to_string(before.size()));
  WT_CHECK_EQ(PrinterIndex(before, serial), -1);

  WT_CHECK(AttachPrinter(kSerial));
  const std::vector<std::string> attached = UsbPaths();
  const int index = PrinterIndex(attached, serial);
  WT_CHECK(index >= 0);
  if (index >= 0) {
    const std::string& path = attached[static_cast<size_t>(index)];
    Note("printer's device path: " + path);
    WT_CHECK(Lower(path).find("vid_f0e1&pid_c20b#" + Lower(serial) + "#") != std::string::npos);
    WT_CHECK(Lower(path).find("{a5dcbf10-6530-11d2-901f-00c04fb951ed}") != std::string::npos);
    // Where the engine looks for the match text.
    WT_CHECK(vornell::UsbPathMatches(path, "vid_f0e1&pid_c20b"));

    // The caller's buffer size decides: the path and its zero fit exactly, one byte less fails.
    vornell::DeviceSet set = services.GetUsbDeviceSet(kUsbFlags);
    std::vector<char> exact(path.size() + 1, 'x');
    std::vector<char> shorter(path.size(), 'x');
    WT_CHECK(services.GetUsbDeviceInterfacePath(set, static_cast<std::uint32_t>(index), exact.data(),
                                                exact.size()));
    WT_CHECK_EQ(std::string(exact.data()), path);
    WT_CHECK(!services.GetUsbDeviceInterfacePath(set, static_cast<std::uint32_t>(index),
                                                 shorter.data(), shorter.size()));
    services.DestroyDeviceSet(set);
  }

  WT_CHECK(DetachPrinter(kSerial));
  const std::vector<std::string> detached = UsbPaths();
  WT_CHECK_EQ(PrinterIndex(detached, serial), -1);
  WT_CHECK_EQ(detached.size(), before.size());
}

// ---- printer queues ----

// One attempt as the registration wait makes it: size, zeroed buffer, fill.
bool ListQueues(std::uint32_t bufferSize, std::vector<std::string>& names) {
  vornell::Services& services = vornell::GetServices();
  void* buffer = services.AllocZeroed(static_cast<size_t>(bufferSize) + 4);
  WT_CHECK(buffer != nullptr);
  if (buffer == nullptr) return false;
  const bool filled = services.EnumPrintersFill(kEnumFlags, buffer, bufferSize, names);
  services.Free(buffer);
  return filled;
}

bool Listed(const std::vector<std::string>& names, const std::string& gbk) {
  for (const std::string& n : names)
    if (n == gbk) return true;
  return false;
}

void CheckQueues() {
  vornell::Services& services = vornell::GetServices();
  const std::string name = "Orvane RX730TⅡ";
  const std::string copy = "Orvane RX730TⅡ (副本 1)";
  WT_CHECK_EQ(name.size(), 15u);

  std::vector<std::string> names;
  WT_CHECK(ListQueues(services.EnumPrintersNeeded(kEnumFlags), names));
  WT_CHECK(!Listed(names, name));

  WT_CHECK(AddQueue(Wide(name)));
  const std::uint32_t needed = services.EnumPrintersNeeded(kEnumFlags);
  WT_CHECK(needed > 0);
  WT_CHECK(ListQueues(needed, names));
  WT_CHECK(Listed(names, name));
  // "Ⅱ" comes back as its two GBK bytes.
  int gbkNames = 0;
  for (const std::string& n : names) {
    if (n.size() == name.size() && n.compare(0, 13, "Orvane RX730T") == 0) {
      ++gbkNames;
      WT_CHECK_EQ(static_cast<unsigned char>(n[13]), 0xA2u);
      WT_CHECK_EQ(static_cast<unsigned char>(n[14]), 0xF2u);
    }
  }
  WT_CHECK_EQ(gbkNames, 1);

  // The list grows between the two calls: the fill with the old size fails
  // and says why; the next attempt sees both.
  WT_CHECK(AddQueue(Wide(copy)));
  names.assign(1, "stale");
  WT_CHECK(!ListQueues(needed, names));
  WT_CHECK_EQ(services.LastError(), 122u);
  WT_CHECK(names.empty());
  WT_CHECK(ListQueues(services.EnumPrintersNeeded(kEnumFlags), names));
  WT_CHECK(Listed(names, name));
  WT_CHECK(Listed(names, copy));

  // A queue whose name has no GBK form is left out; the others still come.
  const std::wstring foreign = L"Queue \u0950";
  WT_CHECK(AddQueue(foreign));
  WT_CHECK(ListQueues(services.EnumPrintersNeeded(kEnumFlags), names));
  WT_CHECK(Listed(names, name));
  WT_CHECK(Listed(names, copy));
  for (const std::string& n : names) WT_CHECK(n.compare(0, 6, "Queue ") != 0);
  Note("queues listed through the services: " + std::to_string(names.size()) + " of " +
       std::to_string(QueueNames().size()));
  WT_CHECK_EQ(names.size() + 1, QueueNames().size());
}

}  // namespace

int wmain() {
  CheckWindow();
  CheckDriverDirectory();
  CheckUsb();
  CheckQueues();
  return Finish();
}
