// No printer: "安装" leads to the retry page, and every "继续" probes again;
// once the printer is plugged in, its arrival retries by itself, once, a
// second after the last of a burst. The close box ends the program at once
// on the connection page, without asking.
#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300002";

// Next on the retry or connection page probes with both buttons disabled
// first; the probe is over when they are enabled again.
bool ProbeAgain(HWND w) {
  if (!ClickAsUser(w, 1001)) return false;
  // The buttons may be enabled again before this look: the probe is short.
  if (WaitUntil([&] { return !ItemEnabled(w, 1001); }, 1000, 5)) {
    Note("saw the buttons disabled while probing");
  }
  return WaitUntil([&] { return ItemEnabled(w, 1001) && ItemEnabled(w, 1002); }, 30000);
}

// How often the wizard has listed the USB devices so far, from its log.
std::size_t Probes() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  // Open with delete sharing: the program holds its log with delete access.
  HANDLE file = CreateFileW((std::wstring(temp) + L"Vornell.log").c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  std::string log(1 << 20, '\0');
  DWORD got = 0;
  if (!ReadFile(file, log.data(), static_cast<DWORD>(log.size()), &got, nullptr)) got = 0;
  CloseHandle(file);
  log.resize(got);
  std::size_t count = 0;
  for (std::size_t at = log.find("GetUsbDeviceSet("); at != std::string::npos;
       at = log.find("GetUsbDeviceSet(", at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace

int wmain() {
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  WT_CHECK(WaitForPage(w, WizardPage::kLicense, 10000));

  // No printer: the retry page.
  WT_CHECK(ClickAsUser(w, 1001));  // "安装"
  WT_CHECK(WaitForPage(w, WizardPage::kRetry, 30000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kRetry), std::string());
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-retry"));

  // Still no printer: each "继续" comes back to the retry page.
  for (int attempt = 0; attempt < 3; ++attempt) {
    WT_CHECK(ProbeAgain(w));
    WT_CHECK_EQ(PageDifferences(w, WizardPage::kRetry), std::string());
    WT_CHECK(WaitForMessageBox(p.pid(), w, 0) == nullptr);
  }

  // Plugged in while the retry page waits. Wine announces no arrival for the
  // test bed's printer, so the page stays until one is delivered.
  WT_CHECK(AttachPrinter(kSerial));
  Sleep(2500);
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kRetry), std::string());
  // The arrivals Windows would send: another device's, then a burst of the
  // printer's interface, delivered from inside the program's process.
  const std::size_t probes = Probes();
  WT_CHECK(probes >= 4);
  const std::string printer = std::string("\\\\?\\USB#VID_F0E1&PID_C20B#RX7300002") +
                              "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
  WT_CHECK(WriteFileBytes(L"C:\\arrival-paths.txt",
                          "\\\\?\\USB#VID_046D&PID_C52B#5&1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}\r\n" +
                              printer + "\r\n" + printer + "\r\n" + printer + "\r\n"));
  const ULONGLONG sent = GetTickCount64();
  WT_CHECK(LoadLibraryInto(p.pi.hProcess, BuildFolder() + L"\\tests\\wine\\planted\\arrival_probe.dll", 10000));
  WT_CHECK(WaitForPage(w, WizardPage::kConnection, 10000));
  // Four arrivals 100 ms apart, then the settling second.
  WT_CHECK(GetTickCount64() - sent >= 1300);
  WT_CHECK(WaitUntil([] { return FileExists(L"C:\\arrival-done.txt"); }, 5000));
  const std::wstring done = L"sent=4\n";
  WT_CHECK(ReadFileBytes(L"C:\\arrival-done.txt") ==
           std::string(reinterpret_cast<const char*>(done.data()), done.size() * sizeof(wchar_t)));
  WT_CHECK_EQ(Probes(), probes + 1);
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kConnection), std::string());
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-retry-found"));

  // The close box ends the program at once, without a question that would
  // keep it running.
  PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  WT_CHECK_EQ(p.WaitExit(5000), 0ul);
  return Finish();
}
