// The close box during the install: no question is asked, the running step
// goes on (the printer wait's 7 s pause, its look at the queue list, the 3 s
// success pause) and the program ends once it has finished.
#include <string>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300007";

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  // Staging done: the workers run. The wait's first look is 7 s away.
  WT_CHECK(WalkToWorkers(w));
  const ULONGLONG workersFrom = GetTickCount64();
  WT_CHECK(AddQueue(PrinterQueueName()));

  PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
  // The dialog is over at once; the window goes, the process stays.
  WT_CHECK(WaitUntil([&] { return !IsWindowVisible(w); }, 3000));
  bool successSeen = false, boxSeen = false;
  while (p.Running() && GetTickCount64() - workersFrom < 60000) {
    // The success step writes its status into the hidden window just before
    // it goes; a look may miss it.
    successSeen = successSeen || ItemText(w, 1018) == kStatusInstalled;
    boxSeen = boxSeen || WaitForMessageBox(p.pid(), w, 0) != nullptr;
    Sleep(5);
  }
  const ULONGLONG took = GetTickCount64() - workersFrom;
  Note("the program ended " + ShowSeconds(took) + " after the workers started" +
       (successSeen ? "; the success status was seen" : ""));
  WT_CHECK_EQ(p.WaitExit(1000), 0ul);
  WT_CHECK(!boxSeen);
  // Not before the wait's first look (7 s) and the success pause (3 s); well
  // before the wait's 20 further looks would have run out.
  WT_CHECK(took >= 9800);
  WT_CHECK(took < 25000);
  return Finish();
}
