// vornell_demo --interactive | --walk
#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* kSerial = L"RX7300001";

// Wine creates no queue when a driver is installed: add it the way the
// system would once the installation has begun.
void AddQueueDuringInstall(HWND w) {
  if (WaitForText(w, 1018, kStatusInstalling, 60000)) AddQueue(PrinterQueueName());
}

bool Step(HWND w, const char* what, const std::string& expect, DWORD timeoutMs) {
  const bool ok = WaitForText(w, 1018, expect, timeoutMs);
  std::printf("%-34s %s\n", what, ok ? "ok" : "did not appear");
  std::fflush(stdout);
  Sleep(400);  // let the page finish painting before the photograph
  return ok;
}

// The license page once more, at 150 %, as many laptops run.
int LicenseAt144Dpi() {
  if (!SetDpiForNewPrograms(144)) return 1;
  Program p;
  const bool started = StartVornell(p);
  if (started) {
    Sleep(1000);
    SaveScreenshot(p.window, "walk-1-license-144dpi");
    p.Kill();
  }
  SetDpiForNewPrograms(0);
  std::printf("%-34s %s\n", "license page at 144 DPI", started ? "ok" : "did not appear");
  return started ? 0 : 1;
}

// What Apps & features shows first: the removal's question, answered No.
int RemovalQuestion() {
  Program p;
  if (!Start(p, ProgramPath(), InstallFolder(), L"/uninstall")) return 1;
  HWND box = WaitForMessageBox(p.pid(), nullptr, 15000);
  if (box != nullptr) {
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(400);
    SaveScreenshot(box, "walk-6-uninstall-question");
    AnswerMessageBox(box, IDNO);
  }
  const bool kept = box != nullptr && p.WaitExit(15000) == 1602;
  std::printf("%-34s %s\n", "removal question (answered No)", kept ? "ok" : "did not appear");
  return kept ? 0 : 1;
}

int Walk() {
  Program p;
  if (!StartVornell(p)) return 1;
  HWND w = p.window;
  Sleep(1000);
  SaveScreenshot(w, "walk-1-license");
  std::printf("%-34s ok\n", "license page");
  // The same page as a user of high contrast sees it.
  const bool contrast = SwitchHighContrast(p, true);
  if (contrast) {
    Sleep(500);
    SaveScreenshot(w, "walk-1-license-highcontrast");
  }
  std::printf("%-34s %s\n", "license page in high contrast", contrast && SwitchHighContrast(p, false) ? "ok" : "not switched");
  if (!contrast) return 1;

  // No printer yet: the retry page.
  ClickAsUser(w, 1001);
  if (!Step(w, "retry page (no printer)", kStatusRetry, 30000)) return 1;
  SaveScreenshot(w, "walk-2-retry");

  // The printer is plugged in; "继续" finds it.
  if (!AttachPrinter(kSerial)) return 1;
  WaitUntil([&] { return ItemEnabled(w, 1001); }, 10000);
  ClickAsUser(w, 1001);
  if (!Step(w, "connection page (printer found)", kStatusFound, 30000)) return 1;
  SaveScreenshot(w, "walk-3-connection");

  WaitUntil([&] { return ItemEnabled(w, 1001); }, 10000);
  ClickAsUser(w, 1001);
  if (!Step(w, "install page", kStatusInstalling, 30000)) return 1;
  AddQueue(PrinterQueueName());
  Sleep(1500);
  SaveScreenshot(w, "walk-4-install");

  const bool success = WaitUntil(
      [&] { return ItemText(w, 1018) == kStatusInstalled || ItemText(w, 1018) == kStatusFailed; }, 120000);
  Sleep(400);
  std::printf("%-34s %s\n", "result page", success ? "ok" : "did not appear");
  SaveScreenshot(w, ItemText(w, 1018) == kStatusInstalled ? "walk-5-success" : "walk-5-failure");
  if (ItemText(w, 1018) != kStatusInstalled) return 1;

  ClickAsUser(w, 1001);  // "完成"
  const DWORD code = p.WaitExit(30000);
  std::printf("%-34s %s\n", "wizard ended", code != STILL_ACTIVE ? "ok" : "still running");
  if (code == STILL_ACTIVE) return 1;
  if (RemovalQuestion() != 0) return 1;
  return LicenseAt144Dpi();
}

int Interactive() {
  if (!AttachPrinter(kSerial)) return 1;
  Program p;
  if (!StartVornell(p, 60000)) return 1;
  std::printf("The Vornell wizard is open: click through it. An Orvane RX730T\xe2\x85\xa1 is attached.\n");
  std::fflush(stdout);
  AddQueueDuringInstall(p.window);
  p.WaitExit(INFINITE);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"--walk";
  return mode == L"--interactive" ? Interactive() : Walk();
}
