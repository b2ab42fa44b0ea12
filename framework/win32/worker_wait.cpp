// WaitForWorker: a worker thread runs while the dialog's thread keeps
// dispatching messages, so the window stays painted and movable.
#include "framework/win32/dialog_impl.h"

#include <atomic>

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

// QS_ALLINPUT with QS_TOUCH and QS_POINTER: from Windows 8 on, touch and pen
// input wake only a wait that asks for them. Windows 7 knows neither bit:
// the pointer bits are asked for only where user32 has the pointer calls
// (GetPointerType, Windows 8 on; looked up, since importing it would stop
// the program loading on Windows 7), and a refusal (87, or 1004 as Windows 7
// may say) falls back to Windows 7's own QS_ALLINPUT for every later wait.
constexpr DWORD kFullWakeMask = 0x1CFF;
constexpr DWORD kWindows7WakeMask = 0x04FF;

DWORD InitialWakeMask() {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 != nullptr && ::GetProcAddress(user32, "GetPointerType") != nullptr ? kFullWakeMask
                                                                                    : kWindows7WakeMask;
}

std::atomic<DWORD> g_wakeMask{InitialWakeMask()};

bool RefusedFlags(DWORD error) { return error == ERROR_INVALID_PARAMETER || error == ERROR_INVALID_FLAGS; }

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
    const DWORD mask = g_wakeMask.load();
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, mask);
    if (woke == WAIT_OBJECT_0) break;
    if (woke == WAIT_FAILED && mask == kFullWakeMask && RefusedFlags(::GetLastError())) {
      g_wakeMask = kWindows7WakeMask;
      continue;
    }
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
