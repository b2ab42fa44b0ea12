// The clock of the start-up marks in the native build: the monotonic clock,
// from the first mark. (<chrono> does not compile under the GBK literals.)
#include <time.h>

#include "framework/startup_marks.h"

namespace vornell {

namespace {
double MonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}
}  // namespace

double MillisecondsSinceProcessStart() {
  static const double start = MonotonicMs();
  return MonotonicMs() - start;
}

}  // namespace vornell
