// The command line of the wizard and of the unattended mode.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornell {
namespace {

struct Accepted {
  std::vector<std::wstring> arguments;
  RunMode mode;
  std::wstring logPath;
  bool setDefault;
  bool testPage;
  LogFormat logFormat = LogFormat::kText;
};

TEST(ParseCommandLine, AcceptedLines) {
  const Accepted cases[] = {
      {{}, RunMode::kWizard, L"", false, false},
      {{L"/log", L"C:\\日志\\v.log"}, RunMode::kWizard, L"C:\\日志\\v.log", false, false},
      {{L"/quiet"}, RunMode::kQuiet, L"", false, false},
      {{L"-QUIET", L"/SetDefault", L"-testPAGE"}, RunMode::kQuiet, L"", true, true},
      {{L"/testpage", L"/log", L"x.log", L"/quiet"}, RunMode::kQuiet, L"x.log", false, true},
      // A path that begins like a switch but is none of ours is a path.
      {{L"/quiet", L"/log", L"-v.log"}, RunMode::kQuiet, L"-v.log", false, false},
      {{L"/quiet", L"/quiet"}, RunMode::kQuiet, L"", false, false},
      {{L"/?"}, RunMode::kHelp, L"", false, false},
      {{L"/quiet", L"-Help"}, RunMode::kHelp, L"", false, false},
      {{L"/UNINSTALL"}, RunMode::kUninstall, L"", false, false},
      {{L"/quiet", L"/uninstall", L"/log", L"r.log"}, RunMode::kUninstall, L"r.log", false, false},
      // The log's layout in every mode; its value in any case.
      {{L"/logformat", L"cmtrace"}, RunMode::kWizard, L"", false, false, LogFormat::kCmTrace},
      {{L"/quiet", L"-LogFormat", L"CMTrace", L"/log", L"c.log"}, RunMode::kQuiet, L"c.log", false, false,
       LogFormat::kCmTrace},
      {{L"/uninstall", L"/logformat", L"TEXT"}, RunMode::kUninstall, L"", false, false, LogFormat::kText},
  };
  for (const Accepted& c : cases) {
    const CommandLine line = ParseCommandLine(c.arguments);
    const std::wstring joined = [&] {
      std::wstring text;
      for (const std::wstring& a : c.arguments) text += a + L" ";
      return text;
    }();
    SCOPED_TRACE(std::string(joined.begin(), joined.end()));
    EXPECT_EQ(line.mode, c.mode);
    EXPECT_EQ(line.logPath, c.logPath);
    EXPECT_EQ(line.setDefault, c.setDefault);
    EXPECT_EQ(line.testPage, c.testPage);
    EXPECT_EQ(line.logFormat, c.logFormat);
    EXPECT_EQ(line.invalidArgument, L"");
  }
}

TEST(ParseCommandLine, RefusedLinesNameTheFirstWrongArgument) {
  const std::pair<std::vector<std::wstring>, std::wstring> cases[] = {
      {{L"/silent"}, L"/silent"},
      {{L"quiet"}, L"quiet"},
      {{L"--quiet"}, L"--quiet"},
      {{L"/quiet", L""}, L""},
      {{L"/quiet", L"/log"}, L"/log"},
      {{L"/quiet", L"/LOG", L""}, L"/LOG"},
      // A forgotten path must not swallow the next switch and open the wizard.
      {{L"/log", L"/quiet"}, L"/log"},
      {{L"/quiet", L"/log", L"a.log", L"-log", L"b.log"}, L"-log"},
      // The success page's check boxes exist in quiet mode only.
      {{L"/setdefault"}, L"/setdefault"},
      {{L"/log", L"x.log", L"/TestPage", L"/setdefault"}, L"/TestPage"},
      // ... and belong to an install, not to a removal.
      {{L"/uninstall", L"/quiet", L"/setdefault"}, L"/setdefault"},
      // A layout that is missing, unknown or given twice; the switch after it is not a layout.
      {{L"/quiet", L"/logformat"}, L"/logformat"},
      {{L"/logformat", L"/quiet"}, L"/logformat"},
      {{L"/logformat", L"xml"}, L"/logformat"},
      {{L"/logformat", L"cmtrace", L"/logformat", L"text"}, L"/logformat"},
      // A wrong line is reported as wrong even beside a request for help.
      {{L"/?", L"/x"}, L"/x"},
  };
  for (const auto& [arguments, wrong] : cases) {
    SCOPED_TRACE(std::string(wrong.begin(), wrong.end()));
    const CommandLine line = ParseCommandLine(arguments);
    EXPECT_EQ(line.mode, RunMode::kInvalid);
    EXPECT_EQ(line.invalidArgument, wrong);
  }
}

}  // namespace
}  // namespace vornell
