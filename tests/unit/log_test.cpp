// The log: line format, GBK text kept as UTF-8, and lines from several
// threads. Narrow literals are GBK bytes; UTF-8 is spelled as bytes.
#include "platform/log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/simulated/memory_log.h"

namespace vornell {
namespace {

TEST(Log, EachEventIsOneStampedLineEndingInCrLf) {
  MemoryLog sink;
  Log log;
  log.Write("before the sink");  // goes nowhere
  log.SetSink(&sink);
  log.Write("Vornell started");
  sink.SetTime({2027, 1, 2, 3, 4, 5, 6});
  log.Write("log", "C:\\Temp\\Vornell.log");
  log.Write("exit code", 3010u);
  log.Write("first\r\nsecond\x01");  // nothing written can pose as a line of its own
  log.SetSink(nullptr);
  log.Write("after the sink");
  EXPECT_EQ(sink.Text(),
            "2026-12-09 14:03:07.412 Vornell started\r\n"
            "2027-01-02 03:04:05.006 log: C:\\Temp\\Vornell.log\r\n"
            "2027-01-02 03:04:05.006 exit code: 3010\r\n"
            "2027-01-02 03:04:05.006 first  second \r\n");
}

TEST(Log, GbkTextArrivesAsUtf8) {
  // Ⅱ is A2 F2 in GBK and U+2161, E2 85 A1, in UTF-8.
  EXPECT_EQ(GbkToUtf8("Orvane RX730TⅡ"), "Orvane RX730T\xE2\x85\xA1");
  EXPECT_EQ(GbkToUtf8("打印机"), "\xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA");
  // A byte that starts no character, and half a character at the end, are
  // marked with U+FFFD; what follows them survives.
  EXPECT_EQ(GbkToUtf8("\xFF" "ok" "\xB4"), "\xEF\xBF\xBD" "ok" "\xEF\xBF\xBD");

  MemoryLog sink;
  Log log;
  log.SetSink(&sink);
  log.Write("printer", "Orvane RX730TⅡ");
  EXPECT_EQ(sink.Text(), "2026-12-09 14:03:07.412 printer: Orvane RX730T\xE2\x85\xA1\r\n");
}

// Configuration Manager's records: the bias with Windows' own sign and no
// padding, the level as the record's type, the thread, and a text that can
// neither end its record early nor break its line. One byte order mark
// first, so a viewer reads the records as UTF-8 and the Chinese shows.
TEST(Log, CmTraceRecords) {
  MemoryLog sink;
  Log log;
  log.SetFormat(LogFormat::kCmTrace);
  log.SetSink(&sink);
  sink.SetThreadId(5120);
  log.Write("printer", "Orvane RX730TⅡ 打印机");  // China: UTC is local time - 480 minutes
  sink.SetTime({2027, 1, 2, 3, 4, 5, 6, 300});     // US Eastern in winter
  log.Warning("tab\there, bell\x07, line\r\nbreak");
  sink.SetTime({2027, 1, 2, 3, 4, 5, 6, 0});
  log.Error("a name ending ]LOG]!> and ]LOG]!]LOG]!> again");
  log.WriteUtf8(LogLevel::kInfo, "C1 control \xC2\x85 and \xC2\xA0 no-break space");
  EXPECT_EQ(sink.Text(),
            "\xEF\xBB\xBF"
            "<![LOG[printer: Orvane RX730T\xE2\x85\xA1 \xE6\x89\x93\xE5\x8D\xB0\xE6\x9C\xBA]LOG]!>"
            "<time=\"14:03:07.412-480\" date=\"12-09-2026\" component=\"Vornell\" context=\"\" type=\"1\" "
            "thread=\"5120\" file=\"\">\r\n"
            "<![LOG[tab here, bell , line  break]LOG]!>"
            "<time=\"03:04:05.006+300\" date=\"01-02-2027\" component=\"Vornell\" context=\"\" type=\"2\" "
            "thread=\"5120\" file=\"\">\r\n"
            "<![LOG[a name ending ]LOG]!&gt; and ]LOG]!]LOG]!&gt; again]LOG]!>"
            "<time=\"03:04:05.006+0\" date=\"01-02-2027\" component=\"Vornell\" context=\"\" type=\"3\" "
            "thread=\"5120\" file=\"\">\r\n"
            "<![LOG[C1 control   and \xC2\xA0 no-break space]LOG]!>"
            "<time=\"03:04:05.006+0\" date=\"01-02-2027\" component=\"Vornell\" context=\"\" type=\"1\" "
            "thread=\"5120\" file=\"\">\r\n");

  // The plain layout keeps its tab and writes no mark; a new sink starts with one again.
  MemoryLog plain, second;
  Log text;
  text.SetSink(&plain);
  text.Error("tab\there");
  EXPECT_EQ(plain.Text(), "2026-12-09 14:03:07.412 tab\there\r\n");
  log.SetSink(&second);
  log.Write("again");
  EXPECT_EQ(second.Text().rfind("\xEF\xBB\xBF<![LOG[again]LOG]!>", 0), 0u) << second.Text();
}

// Fails the test when two threads are inside Append at once: the log hands
// a sink one line at a time, so the file sink needs no lock of its own.
class OneAtATimeSink final : public LogSink {
 public:
  LogTime Now() override { return {}; }
  std::uint32_t ThreadId() override { return 0; }
  void Append(std::string_view line) override {
    if (inside_.fetch_add(1) != 0) overlaps_.fetch_add(1);
    for (int i = 0; i < 20; ++i) std::this_thread::yield();  // room for the other thread
    text_ += line;
    inside_.fetch_sub(1);
  }
  std::atomic<int> inside_{0};
  std::atomic<int> overlaps_{0};
  std::string text_;
};

TEST(Log, ThreadsWriteWholeLinesOneAtATime) {
  OneAtATimeSink sink;
  Log log;
  log.SetSink(&sink);
  constexpr int kLines = 100;
  auto writer = [&log](const char* text) {
    for (int i = 0; i < kLines; ++i) log.Write(text);
  };
  std::thread a(writer, "worker A");
  std::thread b(writer, "worker B 打印");
  a.join();
  b.join();
  EXPECT_EQ(sink.overlaps_.load(), 0);
  const std::string lineA = "0000-00-00 00:00:00.000 worker A\r\n";
  const std::string lineB = "0000-00-00 00:00:00.000 worker B \xE6\x89\x93\xE5\x8D\xB0\r\n";
  ASSERT_EQ(sink.text_.size(), kLines * (lineA.size() + lineB.size()));
  std::size_t countA = 0, countB = 0;
  for (std::size_t at = 0; at < sink.text_.size();) {
    if (sink.text_.compare(at, lineA.size(), lineA) == 0) {
      ++countA;
      at += lineA.size();
    } else if (sink.text_.compare(at, lineB.size(), lineB) == 0) {
      ++countB;
      at += lineB.size();
    } else {
      FAIL() << "broken line at byte " << at;
    }
  }
  EXPECT_EQ(countA, static_cast<std::size_t>(kLines));
  EXPECT_EQ(countB, static_cast<std::size_t>(kLines));
}

}  // namespace
}  // namespace vornell
