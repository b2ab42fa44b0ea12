// The clock of the start-up marks: the process's creation time as the system
// keeps it, then the performance counter, which is finer than the system time.
#include "framework/win32/dialog_impl.h"

#include "framework/startup_marks.h"

namespace vornell {

namespace {

double Ticks(const FILETIME& t) {  // 100 ns units
  return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

double CounterMs() {
  static const double perMs = [] {
    LARGE_INTEGER frequency{};
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER now{};
  ::QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / perMs;
}

}  // namespace

double MillisecondsSinceProcessStart() {
  // Taken once: how old the process was at the first mark, in counter time.
  static const double counterAtCreation = [] {
    FILETIME created{}, exited{}, kernel{}, user{}, now{};
    const double counter = CounterMs();
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return counter;
    ::GetSystemTimeAsFileTime(&now);
    const double age = (Ticks(now) - Ticks(created)) / 10000.0;
    return counter - (age > 0 ? age : 0);
  }();
  return CounterMs() - counterAtCreation;
}

}  // namespace vornell
