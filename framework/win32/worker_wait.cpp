// WaitForWorker: a worker thread runs while the dialog's thread keeps
// dispatching messages, so the window stays painted and movable.
#include "framework/win32/dialog_impl.h"

namespace vornell {

namespace {

struct WorkerStart {
  WorkerProc proc;
  void* arg;
};

DWORD WINAPI WorkerTrampolineThread(LPVOID parameter) {
  auto* start = static_cast<WorkerStart*>(parameter);
  const WorkerProc proc = start->proc;
  void* const arg = start->arg;
  delete start;
  return proc(arg);
}

// QS_ALLINPUT as Windows 7 knows it. Newer headers add QS_TOUCH and
// QS_POINTER, which Windows 7 refuses: every wait would fail there.
constexpr DWORD kWakeMask = 0x04FF;

}  // namespace

WorkerWait Dialog::WaitForWorker(WorkerProc proc, void* arg) {
  auto* start = new WorkerStart{proc, arg};
  HANDLE thread = ::CreateThread(nullptr, 0, &WorkerTrampolineThread, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return WorkerWait::kStartFailed;
  }

  WorkerWait outcome = WorkerWait::kEnded;
  bool quit = false;
  WPARAM quitCode = 0;
  for (;;) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, kWakeMask);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_FAILED) {
      // The worker may still be writing the shared state: the caller moves
      // on only once it has ended.
      ::WaitForSingleObject(thread, INFINITE);
      outcome = WorkerWait::kWaitFailed;
      break;
    }
    // Everything queued now: the wait wakes only for input that is new since
    // the last look, so a message left behind would sit until the next one.
    // No translation and no dialog keys while the worker runs.
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        continue;
      }
      ::DispatchMessageW(&message);
    }
  }
  ::CloseHandle(thread);
  // Whoever asked the thread to quit is told once the wait is over.
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
  return outcome;
}

}  // namespace vornell
