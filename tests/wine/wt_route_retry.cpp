// No printer: "安装" leads to the retry page, and every "继续" probes again;
// once the printer is plugged in, "继续" finds it. The close box ends the
// program at once on the connection page, without asking.
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

  // Plugged in while the retry page waits: "继续" finds it.
  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(ProbeAgain(w));
  WT_CHECK(WaitForPage(w, WizardPage::kConnection, 5000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kConnection), std::string());
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-retry-found"));

  // The close box ends the program at once, without a question that would
  // keep it running.
  PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  WT_CHECK_EQ(p.WaitExit(5000), 0ul);
  return Finish();
}
