// The failure page: a stand-in newdev.dll whose driver update fails, loaded
// from the system folder in place of Wine's own (whose update always
// succeeds), and no queue appearing: after the printer wait's 20 looks the
// page says the install failed and "退出" ends the program. A copy of the
// stand-in in the program's folder must not be the one loaded. The wizard's
// log ends with what the stand-in wrote to Windows' device-installation log
// meanwhile, read while another writer holds that log open.
// wine-test-env: WINEDLLOVERRIDES=newdev=n
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300008";
const wchar_t* const kSystemCopy = L"C:\\windows\\system32\\newdev.dll";
const wchar_t* const kProgramFolderCopy = L"C:\\vornell\\newdev.dll";
const wchar_t* const kStandInLog = L"C:\\newdev-standin.log";
const wchar_t* const kStoredInf = L"C:\\windows\\inf\\RX730TP.INF";
const wchar_t* const kDeviceLog = L"C:\\windows\\inf\\setupapi.dev.log";

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

std::vector<std::string> Split(const std::string& text, char by) {
  std::vector<std::string> parts;
  size_t at = 0;
  for (;;) {
    const size_t end = text.find(by, at);
    parts.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
    if (end == std::string::npos) return parts;
    at = end + 1;
  }
}

// The stand-in recorded one wide call: loaded from the system folder, asked
// to install the printer's hardware ID from the staged INF, forced.
void CheckTheUpdateCall() {
  const std::string log = ReadFileBytes(kStandInLog);
  const std::vector<std::string> lines = Split(log, '\n');
  WT_CHECK_EQ(lines.size(), 2u);  // one line and its end
  if (lines.size() < 2) return;
  Note("stand-in: " + lines[0]);
  const std::vector<std::string> f = Split(lines[0], '|');
  WT_CHECK_EQ(f.size(), 5u);
  if (f.size() != 5) return;
  WT_CHECK_EQ(f[0], std::string("W"));
  WT_CHECK(Lower(FromUtf8(f[1].c_str())) == Lower(kSystemCopy));
  WT_CHECK_EQ(f[2], std::string("USBPRINT\\OrvaneRX730TII87C8"));
  // The checked copy of the package's own INF, by its full path: not the
  // package folder a user may write, nor the staged copy.
  WT_CHECK(Lower(FromUtf8(f[3].c_str())) == Lower(L"C:\\Program Files\\Orvane\\Vornell\\x64\\driver\\RX730TP.INF"));
  WT_CHECK_EQ(f[4], std::string("1"));  // INSTALLFLAG_FORCE
}

void CheckLoadedModules(HANDLE process) {
  bool system = false, programFolder = false;
  for (const std::wstring& path : ModulePaths(process)) {
    system = system || Lower(path) == Lower(kSystemCopy);
    programFolder = programFolder || Lower(path) == Lower(kProgramFolderCopy);
  }
  WT_CHECK(system);
  WT_CHECK(!programFolder);
}

// Only the stand-in's section, the lines that count, the ANSI (GBK) name
// in UTF-8 (张伟 is E5 BC A0 E4 BC 9F); the earlier section stays out.
void CheckWizardLog() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::vector<std::string> lines = Split(ReadFileBytes(std::wstring(temp) + L"Vornell.log"), '\n');
  size_t heading = lines.size();
  for (size_t i = 0; i < lines.size(); ++i) {
    const char* const kHeading = "Windows' device-installation log (C:\\windows\\INF\\setupapi.dev.log), written";
    if (lines[i].find(kHeading) != std::string::npos) heading = i;
  }
  WT_CHECK(heading + 6 < lines.size());
  if (heading + 6 >= lines.size()) return;
  const char* const expected[] = {
      ">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USBPRINT\\OrvaneRX730TII87C8]\r",
      ">>>  Section start 2026/12/09 14:03:09.020\r",
      "!    inf: Could not open 'C:\\Users\\\xE5\xBC\xA0\xE4\xBC\x9F\\Desktop\\RX730TP.PNF'\r",
      "!!!  ndv: No devices were updated.\r",
      "<<<  [Exit status: FAILURE(0xe000020b)]\r",
      " the wizard ended on the page: failure\r",
  };
  for (size_t i = 0; i < 6; ++i) {
    const std::string& line = lines[heading + 1 + i];
    Note("log: " + line);
    WT_CHECK(line.size() > 24 && line.substr(23) == std::string(i < 5 ? " " : "") + expected[i]);
  }
}

}  // namespace

int wmain() {
  const std::wstring standIn = BuildFolder() + L"\\tests\\wine\\newdev_standin\\newdev.dll";
  WT_CHECK(FileExists(standIn));
  WT_CHECK(CopyFileW(standIn.c_str(), kSystemCopy, FALSE) != FALSE);
  WT_CHECK(CopyFileW(standIn.c_str(), kProgramFolderCopy, FALSE) != FALSE);
  WT_CHECK(!FileExists(kStoredInf));
  WT_CHECK(AttachPrinter(kSerial));
  // An earlier section, and a writer that keeps the log open as Windows does.
  WT_CHECK(WriteFileBytes(kDeviceLog, ">>>  [Device Install (Hardware initiated) - earlier]\r\n"
                                      "<<<  [Exit status: SUCCESS]\r\n"));
  HANDLE writer = CreateFileW(kDeviceLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  WT_CHECK(writer != INVALID_HANDLE_VALUE);

  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  WT_CHECK(WalkToWorkers(w));
  const ULONGLONG workersFrom = GetTickCount64();

  // The install worker has called the update and is done before the wait's
  // first look.
  WT_CHECK(WaitUntil([&] { return !ReadFileBytes(kStandInLog).empty(); }, 5000));
  Sleep(500);
  CheckTheUpdateCall();
  CheckLoadedModules(p.pi.hProcess);
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kInstall), std::string());

  // No queue: the failure page once the wait's 20 looks are over.
  WT_CHECK(WaitForText(w, 1018, kStatusFailed, 90000));
  const ULONGLONG took = GetTickCount64() - workersFrom;
  Note("workers took " + ShowSeconds(took));
  WT_CHECK(took >= 27000);
  WT_CHECK(WaitForPage(w, WizardPage::kFailure, 5000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kFailure), std::string());
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-failure"));
  // The worker's fall-back put the INF into the system's INF folder.
  WT_CHECK(FileExists(kStoredInf));
  WT_CHECK(!QueueExists(PrinterQueueName()));
  WT_CHECK_EQ(Split(ReadFileBytes(kStandInLog), '\n').size(), 2u);  // no second attempt

  // "退出" ends the program, with no pause and no question.
  const ULONGLONG exitClick = GetTickCount64();
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK_EQ(p.WaitExit(5000), 0ul);
  Note("\"exit\" to the end of the program: " + ShowSeconds(GetTickCount64() - exitClick));
  CheckWizardLog();
  CloseHandle(writer);
  return Finish();
}
