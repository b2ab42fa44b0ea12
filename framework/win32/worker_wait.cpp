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

}  // namespace

WorkerWait Dialog::WaitForWorker(WorkerProc proc, void* arg) {
  auto* start = new WorkerStart{proc, arg};
  HANDLE thread = ::CreateThread(nullptr, 0, &WorkerTrampolineThread, start, 0, nullptr);
  if (thread == nullptr) {
    delete start;
    return WorkerWait::kStartFailed;
  }

  WorkerWait outcome = WorkerWait::kEnded;
  for (;;) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_FAILED) {
      outcome = WorkerWait::kWaitFailed;
      break;
    }
    // One message per wake, as it comes: no translation and no dialog keys
    // while the worker runs.
    MSG message;
    if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
  ::CloseHandle(thread);
  return outcome;
}

}  // namespace vornell
