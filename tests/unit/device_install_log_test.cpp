// Windows' device-installation log in ours: what is taken from a sample
// log of the usual shape, and what a failed run appends from the part
// written while it ran.
#include "platform/device_install_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/simulated/memory_log.h"
#include "platform/simulated/simulated_process.h"

namespace vornell {
namespace {

std::string Sample(const char* part) {
  const auto path = std::filesystem::path(VORNELL_SOURCE_DIR) / "tests/fixtures/setupapi" /
                    (std::string("setupapi.dev.log.") + part);
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The lines without their time stamps.
std::vector<std::string> Texts(const MemoryLog& sink) {
  std::vector<std::string> texts;
  for (const std::string& line : sink.Lines()) texts.push_back(line.substr(24));
  return texts;
}

TEST(DeviceInstallLog, SectionsExitStatusesWarningsAndErrorsInOrder) {
  const DeviceLogExcerpt excerpt = ExtractDeviceLogExcerpt(Sample("during"));
  const std::vector<std::pair<LogLevel, std::string>> expected = {
      {LogLevel::kInfo, ">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USB\\VID_F0E1&PID_C20B&REV_0100]"},
      {LogLevel::kInfo, ">>>  Section start 2026/12/09 14:03:09.020"},
      {LogLevel::kWarning, "!    sig:                Verifying file against specific (valid) catalog failed."},
      {LogLevel::kWarning,
       "!    sig:                Error 0x800b0109: A certificate chain processed, but terminated in a root "
       "certificate which is not trusted by the trust provider."},
      {LogLevel::kError, "!!!  ndv:      Driver package import failed for device."},
      {LogLevel::kError,
       "!!!  ndv:      Error 0xe0000247: A problem was encountered while attempting to add the driver to the store."},
      {LogLevel::kError, "!!!  ndv:      Installing NULL driver."},
      {LogLevel::kWarning, "!    ndv: Queueing up error report since device installation failed..."},
      {LogLevel::kInfo, "<<<  [Exit status: FAILURE(0xe0000247)]"},
      {LogLevel::kInfo, ">>>  [Device Install (Hardware initiated) - USB\\VID_F0E1&PID_C20B\\RX7300051]"},
      {LogLevel::kInfo, ">>>  Section start 2026/12/09 14:03:12.610"},
      {LogLevel::kWarning, "!    ndv: No matching driver found in the Driver Store."},
      {LogLevel::kInfo, "<<<  [Exit status: SUCCESS]"},
  };
  ASSERT_EQ(excerpt.lines.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(excerpt.lines[i].level, expected[i].first) << i;
    EXPECT_EQ(excerpt.lines[i].text, expected[i].second) << i;
  }
  EXPECT_EQ(excerpt.found, expected.size());
  EXPECT_EQ(excerpt.read, 52u);

  // The exit status as the documentation writes it counts too; a line with
  // a marker further in, a section's end and a last line without its end do not.
  const DeviceLogExcerpt other =
      ExtractDeviceLogExcerpt("<<<  [2005/02/13 22:06:28.109: Section end]\n<<<  [Exit Status(0x00000000)]\n"
                              "     dvi: no !!! here\n!!!  last, unended");
  ASSERT_EQ(other.lines.size(), 2u);
  EXPECT_EQ(other.lines[0].text, "<<<  [Exit Status(0x00000000)]");
  EXPECT_EQ(other.lines[1].text, "!!!  last, unended");
}

// Of more than 200, the last: the failure is at the end. A line longer than
// any SetupAPI writes is cut at a character's start.
TEST(DeviceInstallLog, AtMostTheLast200LinesEachOfBoundedLength) {
  std::string text;
  for (int i = 0; i < 250; ++i) text += "!    entry " + std::to_string(i) + "\r\n     plain\r\n";
  const DeviceLogExcerpt excerpt = ExtractDeviceLogExcerpt(text);
  ASSERT_EQ(excerpt.lines.size(), 200u);
  EXPECT_EQ(excerpt.found, 250u);
  EXPECT_EQ(excerpt.lines.front().text, "!    entry 50");
  EXPECT_EQ(excerpt.lines.back().text, "!    entry 249");

  std::string longLine = "!!! ";
  while (longLine.size() < 1023) longLine += 'x';
  longLine += "\xE6\x89\x93";  // a character across the limit goes whole
  const DeviceLogExcerpt cut = ExtractDeviceLogExcerpt(longLine + "yyyy");
  ASSERT_EQ(cut.lines.size(), 1u);
  EXPECT_EQ(cut.lines[0].text, longLine.substr(0, 1023) + "...");
}

class DeviceInstallLogAppend : public ::testing::Test {
 protected:
  void TearDown() override { SetSimulatedDeviceInstallLog(std::nullopt); }
  std::vector<std::string> Appended(const DeviceLogMark& mark) {
    MemoryLog sink;
    Log log;
    log.SetSink(&sink);
    AppendDeviceInstallLog(mark, log);
    return Texts(sink);
  }
};

// Only what the run added, under one heading; all of it where Windows began
// the log anew; one line where there is nothing to show.
TEST_F(DeviceInstallLogAppend, WhatTheRunAddedOrOneLineWhy) {
  const std::string before = Sample("before");
  SetSimulatedDeviceInstallLog(before);
  const DeviceLogMark mark = MarkDeviceInstallLog();
  EXPECT_TRUE(mark.exists);
  EXPECT_EQ(mark.size, before.size());

  EXPECT_EQ(Appended(mark), std::vector<std::string>{
                                "Windows' device-installation log (C:\\Windows\\INF\\setupapi.dev.log): nothing was "
                                "written to it during this run"});

  SetSimulatedDeviceInstallLog(before + Sample("during"));
  std::vector<std::string> lines = Appended(mark);
  ASSERT_EQ(lines.size(), 14u);
  EXPECT_EQ(lines[0],
            "Windows' device-installation log (C:\\Windows\\INF\\setupapi.dev.log), written during this run: its "
            "sections, exit statuses, warnings and errors");
  EXPECT_EQ(lines[1], ">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USB\\VID_F0E1&PID_C20B&REV_0100]");
  EXPECT_EQ(lines[13], "<<<  [Exit status: SUCCESS]");

  // Not there at the start: all of it, the earlier section's two headers
  // and exit status too.
  EXPECT_EQ(Appended(DeviceLogMark{}).size(), 14u + 3u);
  // Shorter than at the start: begun anew, read from its start.
  SetSimulatedDeviceInstallLog(Sample("during").substr(0, 600));
  lines = Appended(mark);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], ">>>  [Device Install (UpdateDriverForPlugAndPlayDevices) - USB\\VID_F0E1&PID_C20B&REV_0100]");

  SetSimulatedDeviceInstallLog(before + "     ndv: Retrieving device info...\r\n     ndv: done\r\n");
  EXPECT_EQ(Appended(mark), std::vector<std::string>{
                                "Windows' device-installation log (C:\\Windows\\INF\\setupapi.dev.log): 2 lines "
                                "written during this run, none a section, an exit status, a warning or an error"});

  SetSimulatedDeviceInstallLog(std::nullopt);
  EXPECT_FALSE(MarkDeviceInstallLog().exists);
  EXPECT_EQ(Appended(mark), std::vector<std::string>{"Windows' device-installation log "
                                                     "(C:\\Windows\\INF\\setupapi.dev.log) is not there: nothing of "
                                                     "it to add"});
}

}  // namespace
}  // namespace vornell
