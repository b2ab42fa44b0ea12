// The close box during the install: no question is asked, the running step
// goes on (the printer wait's 7 s pause, its look at the queue list, the 3 s
// success pause) and the program ends once it has finished.
#include <cstdio>
#include <string>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300007";

ULONGLONG Now() { return GetTickCount64(); }

std::string Seconds(ULONGLONG ms) {
  char b[32];
  std::snprintf(b, sizeof b, "%.1f s", static_cast<double>(ms) / 1000.0);
  return b;
}

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  WT_CHECK(WaitForPage(w, WizardPage::kLicense, 10000));
  WT_CHECK(ClickAsUser(w, 1001));  // "安装"
  WT_CHECK(WaitForPage(w, WizardPage::kConnection, 30000));
  WT_CHECK(ClickAsUser(w, 1001));  // "继续"
  WT_CHECK(WaitForText(w, 1018, kStatusInstalling, 30000));
  WT_CHECK(AddQueue(PrinterQueueName()));
  // Staging done: the workers run.
  WT_CHECK(WaitUntil([&] { return ProgressPosition(w, 1008) == 9; }, 10000, 10));
  const ULONGLONG workersFrom = Now();

  PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  // The dialog is over at once; the window goes, the process stays.
  WT_CHECK(WaitUntil([&] { return !IsWindowVisible(w); }, 3000));
  bool successSeen = false, boxSeen = false;
  while (p.Running() && Now() - workersFrom < 60000) {
    // The success step writes its status into the hidden window just before
    // it goes; a look may miss it.
    successSeen = successSeen || ItemText(w, 1018) == kStatusInstalled;
    boxSeen = boxSeen || WaitForMessageBox(p.pid(), w, 0) != nullptr;
    Sleep(5);
  }
  const ULONGLONG took = Now() - workersFrom;
  const DWORD code = p.WaitExit(1000);
  Note("the program ended " + Seconds(took) + " after the workers started" +
       (successSeen ? "; the success status was seen" : ""));
  WT_CHECK(code != STILL_ACTIVE);
  WT_CHECK_EQ(code, 0ul);
  WT_CHECK(!boxSeen);
  // Not before the wait's first look (7 s) and the success pause (3 s); well
  // before the wait's 20 further looks would have run out.
  WT_CHECK(took >= 9800);
  WT_CHECK(took < 25000);
  return Finish();
}
