// The USB route from the license page to the end, with a printer attached and
// its queue appearing in the spooler during the install: every page, the
// staged files, the pauses, and the two printer-setup commands that "完成"
// starts, as Wine's printui receives them. The pages are walked with the
// keyboard alone (Enter on the button that has the focus), and a real click
// made during the success pause, where "完成" is about to be enabled, is
// not taken as a click on it, nor a double click on the window's icon
// made then as a close.
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300001";
const wchar_t* const kDebugLog = L"C:\\route-wine-debug.log";
const wchar_t* const kPackage = L"C:\\vornell\\x64\\driver\\";
const char* const kPackageFiles[] = {"RX730TP.INF", "RX730TP.dll", "RX730TP.gpd", "STDNAMES.GPD",
                                     "UNIDRV.DLL",  "UNIDRV.HLP",  "UNIDRVUI.DLL", "UNIRES.DLL", "RX730TP.cat"};

// Wine's debug channels print a wide text as L"..." with quotes and
// backslashes escaped and other characters beyond ASCII as a backslash and
// four hex digits.
std::string WineDebugText(const std::wstring& text) {
  std::string out = "L\"";
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char b[8];
      std::snprintf(b, sizeof b, "\\%04x", static_cast<unsigned>(c));
      out += b;
    }
  }
  return out + "\"";
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& piece) {
  std::vector<std::string> found;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (line.find(piece) != std::string::npos) found.push_back(line);
    at = end + 1;
  }
  return found;
}

void CheckStagedFiles() {
  for (const char* name : kPackageFiles) {
    const std::wstring staged = StagingFolder() + L"\\" + Wide(name);
    WT_CHECK(FileExists(staged));
    const std::string want = ReadFileBytes(std::wstring(kPackage) + Wide(name));
    WT_CHECK(!want.empty());
    WT_CHECK_EQ(ReadFileBytes(staged), want);
  }
}

// The commands of "完成": each reaches printui's PrintUIEntry once, with the
// queue name as one argument, started from the system folder's rundll32.
void CheckPrinterCommands() {
  const std::wstring queue = PrinterQueueName();
  const std::string setDefault = WineDebugText(L"/y /n \"" + queue + L"\"");
  const std::string testPage = WineDebugText(L"/k /n \"" + queue + L"\"");
  std::string log;
  // The commands are not awaited by the wizard: they may still be running.
  const bool both = WaitUntil([&] {
    log = ReadFileBytes(kDebugLog);
    return LinesWith(log, "PrintUIEntryW (").size() >= 2;
  }, 30000, 200);
  WT_CHECK(both);
  Sleep(1000);  // nothing more is to come; a third call would show now
  log = ReadFileBytes(kDebugLog);
  for (const std::string& line : LinesWith(log, "printui:")) Note("trace: " + line);

  const auto calls = LinesWith(log, "PrintUIEntryW (");
  WT_CHECK_EQ(calls.size(), 2u);
  WT_CHECK_EQ(LinesWith(log, ", " + setDefault + ", ").size(), 1u);
  WT_CHECK_EQ(LinesWith(log, ", " + testPage + ", ").size(), 1u);
  // printui split each command line into its option and one queue name.
  WT_CHECK_EQ(LinesWith(log, "parse_rundll flag: L\"y\"").size(), 1u);
  WT_CHECK_EQ(LinesWith(log, "parse_rundll  cmd: L\"k\"").size(), 1u);
  WT_CHECK_EQ(LinesWith(log, "opt: L\"n\"  " + WineDebugText(queue)).size(), 2u);

  // Started by full path from the system folder, never through a shell.
  const std::wstring rundll = L"C:\\windows\\system32\\rundll32.exe";
  const auto starts = LinesWith(log, "CreateProcessInternalW app " + WineDebugText(rundll));
  for (const std::string& line : starts) Note("start: " + line);
  WT_CHECK_EQ(starts.size(), 2u);
  for (const char* option : {"/y", "/k"}) {
    const std::wstring line = L"\"" + rundll + L"\" printui.dll,PrintUIEntry " + Wide(option) + L" /n \"" +
                              queue + L"\"";
    const std::string start =
        "CreateProcessInternalW app " + WineDebugText(rundll) + " cmdline " + WineDebugText(line);
    WT_CHECK_EQ(LinesWith(log, start).size(), 1u);
  }
  std::string lower = log;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  WT_CHECK(LinesWith(lower, "cmd.exe").empty());
}

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(!QueueExists(PrinterQueueName()));
  for (const char* name : kPackageFiles) WT_CHECK(!FileExists(StagingFolder() + L"\\" + Wide(name)));

  Program p;
  WT_CHECK(StartVornellWithWineDebug(p, "-all,trace+printui,trace+process", kDebugLog));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;

  // License page.
  WT_CHECK(WaitForPage(w, WizardPage::kLicense, 10000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kLicense), std::string());
  Sleep(500);
  WT_CHECK(SaveScreenshot(w, "route-license"));

  const ULONGLONG routeStart = GetTickCount64();
  SetForegroundWindow(w);
  WT_CHECK(PressKey(VK_RETURN));  // "安装", which has the focus

  // The printer is attached: straight to the connection page.
  WT_CHECK(WaitForPage(w, WizardPage::kConnection, 30000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kConnection), std::string());
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-connection"));
  // The probe disabled the focused button; the page gives the focus back.
  WT_CHECK(PressKey(VK_RETURN));  // "继续"

  // Install page: the bar shown, both buttons disabled.
  WT_CHECK(WaitForText(w, 1018, kStatusInstalling, 30000));
  const ULONGLONG installStart = GetTickCount64();
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kInstall), std::string());
  WT_CHECK(!ClickAsUser(w, 1001));
  WT_CHECK(!ClickAsUser(w, 1002));
  // The system adds the queue once the driver is installed; here, the test.
  WT_CHECK(AddQueue(PrinterQueueName()));
  // One step for the package check and one per staged file, the catalog's
  // too; the last step waits for success.
  WT_CHECK(WaitUntil([&] { return ProgressPosition(w, 1008) == 10; }, 10000));
  int low = -1, high = -1;
  WT_CHECK(ProgressRange(w, 1008, low, high));
  WT_CHECK_EQ(low, 0);
  WT_CHECK_EQ(high, 11);
  WT_CHECK(SaveScreenshot(w, "route-install"));
  CheckStagedFiles();

  // The success pause blocks the window's thread: a click made now waits in
  // the queue while "完成" is enabled under it.
  WT_CHECK(WaitUntil([&] { return !Answers(w, 200); }, 30000, 20));
  WT_CHECK(SendClickAt(w, 1001));
  // Wine picks the window of a click when the click is queued, Windows when
  // it is taken out; the same click as Windows would hand it over.
  PostMessageW(Item(w, 1001), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  PostMessageW(Item(w, 1001), WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  // Input on the frame waits too: a double click on the window's icon,
  // which would close the window.
  RECT frame{};
  GetWindowRect(w, &frame);
  PostMessageW(w, WM_NCLBUTTONDBLCLK, HTSYSMENU, MAKELPARAM(frame.left + 8, frame.top + 8));

  // Success page, after the wait's first look (7 s) found the queue and the
  // 3 s pause; without the queue the wait would look 20 more times.
  WT_CHECK(WaitForText(w, 1018, kStatusInstalled, 60000));
  const ULONGLONG installTook = GetTickCount64() - installStart;
  Note("install page to success page: " + ShowSeconds(installTook));
  WT_CHECK(installTook >= 10000);
  WT_CHECK(installTook < 25000);
  WT_CHECK(WaitForPage(w, WizardPage::kSuccess, 5000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kSuccess), std::string());
  WT_CHECK_EQ(ItemText(w, 1019), std::string("设置为默认打印机"));
  WT_CHECK_EQ(ItemText(w, 1020), std::string("打印测试页"));
  WT_CHECK_EQ(ProgressPosition(w, 1008), 11);
  // The wizard's install, too, is in Apps & features, removable without the download.
  WT_CHECK(AppsEntryValue(L"UninstallString") == L"\"C:\\Program Files\\Orvane\\Vornell\\Vornell.exe\" /uninstall");
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-success"));
  // The click of the pause did not finish the wizard: nothing was started.
  Sleep(3500);
  WT_CHECK(p.Running());
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kSuccess), std::string());
  WT_CHECK(LinesWith(ReadFileBytes(kDebugLog), "PrintUIEntryW (").empty());

  // "完成": a 2.5 s pause, both commands, and the program ends.
  const ULONGLONG finishClick = GetTickCount64();
  SetForegroundWindow(w);
  WT_CHECK(PressKey(VK_RETURN));  // "完成", which has the focus
  const DWORD code = p.WaitExit(30000);
  const ULONGLONG finishTook = GetTickCount64() - finishClick;
  WT_CHECK_EQ(code, 0ul);
  WT_CHECK(finishTook >= 2450);
  Note("finish click to the end of the program: " + ShowSeconds(finishTook));
  const ULONGLONG routeTook = GetTickCount64() - routeStart;
  std::printf("route wall time (install click on the license page to the end of the program): %s\n",
              ShowSeconds(routeTook).c_str());
  std::fflush(stdout);

  CheckPrinterCommands();
  WT_CHECK(QueueExists(PrinterQueueName()));
  return Finish();
}
