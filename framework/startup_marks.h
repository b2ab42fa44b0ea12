#pragma once
// Time marks of the wizard's start-up: where the time until its first page
// is painted goes. The wizard writes them to its log once that page is
// painted, where support and the benchmark read them.
#include <string>

namespace vornell {

// Notes the time of `step`, a string literal (kept, not copied). Marks
// beyond the table's room are dropped; only the window's thread marks.
void MarkStartup(const char* step);
// "step 12.3; step 20.1; ...", in milliseconds since the process was
// created. Ends the start-up: later marks are dropped.
std::string TakeStartupMarks();
// Milliseconds since the process was created; each half of the framework
// has its own clock.
double MillisecondsSinceProcessStart();

}  // namespace vornell
