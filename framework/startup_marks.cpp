#include "framework/startup_marks.h"

#include <cstdio>

namespace vornell {

namespace {

struct Mark {
  const char* step;
  double ms;
};

constexpr int kRoom = 16;
Mark g_marks[kRoom];
int g_count = 0;
bool g_taken = false;

}  // namespace

void MarkStartup(const char* step) {
  if (!g_taken && g_count < kRoom) g_marks[g_count++] = Mark{step, MillisecondsSinceProcessStart()};
}

std::string TakeStartupMarks() {
  g_taken = true;
  std::string text;
  for (int i = 0; i < g_count; ++i) {
    char ms[32];
    std::snprintf(ms, sizeof ms, " %.1f", g_marks[i].ms);
    if (!text.empty()) text += "; ";
    text += g_marks[i].step;
    text += ms;
  }
  return text;
}

}  // namespace vornell
