// The window keeps answering while the install worker and the printer wait
// run: messages are handled within a second throughout, the window moves and
// repaints. The only stall is the 3 s pause on the dialog's thread just
// before the success page. No queue is added, so the wait looks 20 times.
// The program's wait is made as strict as Windows 7's (win7_wait.dll), which
// refuses the touch and pen wake bits the program asks for first, and
// a burst of posted messages, which no sent probe can stand for, is handled
// whole at once.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300006";

struct Probe {
  ULONGLONG at;
  bool answered;
  DWORD took;
};

// Posts a burst of messages and, last, a style change of the hidden Exit
// button, which can be read without a message; true when the whole burst
// was handled within a second.
bool BurstHandled(HWND w) {
  const HWND exitButton = Item(w, 1003);
  const auto type = [&] { return GetWindowLongW(exitButton, GWL_STYLE) & BS_TYPEMASK; };
  if (type() != BS_PUSHBUTTON) return false;
  for (int i = 0; i < 20; ++i) PostMessageW(w, WM_NULL, 0, 0);
  PostMessageW(exitButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, FALSE);
  const bool handled = WaitUntil([&] { return type() == BS_DEFPUSHBUTTON; }, 1000, 10);
  PostMessageW(exitButton, BM_SETSTYLE, BS_PUSHBUTTON, FALSE);
  WaitUntil([&] { return type() == BS_PUSHBUTTON; }, 5000, 10);
  return handled;
}

bool Pending(HWND window) { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }

// Moves the window by an offset (posted, so a stuck thread cannot stall the
// test) and waits until it stands there.
bool MoveBy(HWND w, int dx, int dy) {
  RECT from{};
  GetWindowRect(w, &from);
  SetWindowPos(w, nullptr, from.left + dx, from.top + dy, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
  return WaitUntil([&] {
    RECT now{};
    GetWindowRect(w, &now);
    return now.left == from.left + dx && now.top == from.top + dy &&
           now.right - now.left == from.right - from.left;
  }, 2000, 10);
}

// Invalidates the window and its controls and waits until nothing is left
// to paint.
bool Repaints(HWND w) {
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return WaitUntil([&] { return !Pending(w) && !Pending(Item(w, 1018)) && !Pending(Item(w, 1008)); },
                   2000, 10);
}

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  const std::wstring strictWait = L"C:\\win7-wait.txt";
  DeleteFileW(strictWait.c_str());
  WT_CHECK(LoadLibraryInto(p.pi.hProcess, BuildFolder() + L"\\tests\\wine\\planted\\win7_wait.dll", 10000));
  WT_CHECK(WaitUntil([&] { return ValueOf(ReadFileWide(strictWait), L"patched") == L"1"; }, 5000));

  // Staging done (bar at 9): the workers start.
  WT_CHECK(WalkToWorkers(w));
  const ULONGLONG workersFrom = GetTickCount64();

  std::vector<Probe> probes;
  bool moveChecked = false, repaintChecked = false;
  int bursts = 0, burstsHandled = 0;
  std::string stallControl;
  while (ItemText(w, 1018) != kStatusInstalled && GetTickCount64() - workersFrom < 90000) {
    Probe probe{GetTickCount64(), false, 0};
    probe.answered = Answers(w, 1000, &probe.took);
    probes.push_back(probe);
    if (!probe.answered && stallControl.empty()) {
      // The thread is blocked: an invalidated window stays to be painted.
      RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      stallControl = Pending(w) ? "pending" : "not pending";
      Note("invalidated while the thread did not answer: " + stallControl);
    }
    const ULONGLONG since = GetTickCount64() - workersFrom;
    if (!moveChecked && since > 3000) {
      moveChecked = true;
      WT_CHECK(MoveBy(w, 60, 40));
      Sleep(300);
      WT_CHECK(SaveScreenshot(w, "route-install-moved"));
      WT_CHECK(MoveBy(w, -60, -40));
      WT_CHECK_EQ(PageDifferences(w, WizardPage::kInstall), std::string());
    }
    // In the printer wait, twice: nothing else wakes the thread then.
    if ((bursts == 0 && since > 10000) || (bursts == 1 && since > 18000)) {
      ++bursts;
      if (BurstHandled(w)) ++burstsHandled;
    }
    if (!repaintChecked && since > 8000) {
      repaintChecked = true;
      for (int i = 0; i < 5; ++i) WT_CHECK(Repaints(w));
      WT_CHECK_EQ(ProgressPosition(w, 1008), 10);
    }
    Sleep(150);
  }
  const ULONGLONG successSeen = GetTickCount64();
  WT_CHECK(moveChecked);
  WT_CHECK(repaintChecked);
  WT_CHECK_EQ(bursts, 2);
  WT_CHECK_EQ(burstsHandled, bursts);
  // The program asked for touch and pen once, and on Windows 7's refusal
  // waited with what Windows 7 knows from then on.
  WT_CHECK_EQ(ValueOf(ReadFileWide(strictWait), L"refused"), std::wstring(L"1"));
  WT_CHECK_EQ(ValueOf(ReadFileWide(strictWait), L"accepted"), std::to_wstring(0x04FF));

  // The printer wait looked 20 times after its 7 s pause, then 3 s passed.
  const ULONGLONG workersTook = successSeen - workersFrom;
  Note("workers and the success pause took " + ShowSeconds(workersTook));
  WT_CHECK(workersTook >= 29500);
  WT_CHECK(WaitForPage(w, WizardPage::kSuccess, 5000));

  // Every probe before the success pause was answered within a second.
  size_t during = 0, answered = 0, stalled = 0;
  DWORD slowest = 0;
  for (const Probe& probe : probes) {
    if (probe.at + 3500 < successSeen) {
      ++during;
      if (probe.answered) ++answered;
      slowest = std::max(slowest, probe.took);
    } else if (!probe.answered) {
      ++stalled;
    }
  }
  Note(std::to_string(answered) + " of " + std::to_string(during) +
       " probes answered while the workers ran, the slowest in " + std::to_string(slowest) + " ms; " +
       std::to_string(stalled) + " unanswered in the success pause");
  WT_CHECK(during >= 50);
  WT_CHECK_EQ(answered, during);
  // The probes can see a thread that does not answer or paint: the success pause.
  WT_CHECK(stalled >= 1);
  WT_CHECK_EQ(stallControl, std::string("pending"));

  PostMessageW(w, WM_CLOSE, 0, 0);
  WT_CHECK(p.WaitExit(10000) != STILL_ACTIVE);
  return Finish();
}
