// A package with a file missing: the install page asks whether to leave.
// No keeps the install page with both buttons disabled and nothing staged,
// so that only the close box is left; Yes (in a second run) ends the program.
// A package file that is not the program's own: the box names it, and
// nothing is staged or left under Program Files.
#include <string>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300005";
const wchar_t* const kMissing = L"C:\\vornell\\x64\\driver\\UNIDRV.HLP";
const wchar_t* const kChanged = L"C:\\vornell\\x64\\driver\\RX730TP.dll";
const char* const kBoxPackageDamaged =
    "错误提示：   安装文件已损坏，或不是本安装程序所带的文件，请重新下载安装程序：RX730TP.dll";

std::wstring StagedInf() { return StagingFolder() + L"\\RX730TP.INF"; }

// From the license page to the package check's question.
HWND RunToQuestion(Program& p) {
  const HWND w = p.window;
  WT_CHECK(WalkToInstall(w));
  const HWND box = WaitForMessageBox(p.pid(), w, 30000);
  WT_CHECK(box != nullptr);
  if (box == nullptr) return nullptr;
  WT_CHECK_EQ(MessageBoxText(box), std::string(kBoxFilesMissing));
  WT_CHECK_EQ(MessageBoxCaption(box), std::string(kBoxErrorCaption));
  WT_CHECK(MessageBoxHasButton(box, IDYES));
  WT_CHECK(MessageBoxHasButton(box, IDNO));
  WT_CHECK(!MessageBoxHasButton(box, IDOK));
  WT_CHECK(!MessageBoxHasButton(box, IDCANCEL));
  WT_CHECK(GetWindow(box, GW_OWNER) == w);
  // Behind the question: the install page, the bar not yet moved.
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kInstall), std::string());
  WT_CHECK_EQ(ProgressPosition(w, 1008), 0);
  return box;
}

}  // namespace

int wmain() {
  const std::string hlp = ReadFileBytes(kMissing);
  WT_CHECK(DeleteFileW(kMissing) != FALSE);
  WT_CHECK(!FileExists(kMissing));
  WT_CHECK(!FileExists(StagedInf()));
  WT_CHECK(AttachPrinter(kSerial));

  {
    Program p;
    WT_CHECK(StartVornell(p));
    if (p.window == nullptr) return Finish();
    const HWND w = p.window;
    const HWND box = RunToQuestion(p);
    if (box != nullptr) {
      Sleep(300);
      WT_CHECK(SaveScreenshot(w, "route-missing-file"));
      AnswerMessageBox(box, IDNO);
      WT_CHECK(WaitUntil([&] { return !IsWindow(box); }, 5000));
    }
    // No: the page stays as it was, and stays so.
    Sleep(2000);
    WT_CHECK(p.Running());
    WT_CHECK(WaitForMessageBox(p.pid(), w, 0) == nullptr);
    WT_CHECK_EQ(PageDifferences(w, WizardPage::kInstall), std::string());
    WT_CHECK_EQ(ProgressPosition(w, 1008), 0);
    int low = -1, high = -1;
    WT_CHECK(ProgressRange(w, 1008, low, high));
    WT_CHECK_EQ(low, 0);
    WT_CHECK_EQ(high, 11);
    WT_CHECK(!ClickAsUser(w, 1001));
    WT_CHECK(!ClickAsUser(w, 1002));
    WT_CHECK(!FileExists(StagedInf()));
    WT_CHECK(Answers(w, 1000));
    Sleep(300);
    WT_CHECK(SaveScreenshot(w, "route-missing-file-answered-no"));

    // The close box is the way out that is left; it asks nothing.
    PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    WT_CHECK_EQ(p.WaitExit(10000), 0ul);
  }

  {
    // Yes ends the program, nothing staged.
    Program p;
    WT_CHECK(StartVornell(p));
    if (p.window == nullptr) return Finish();
    const HWND box = RunToQuestion(p);
    if (box != nullptr) AnswerMessageBox(box, IDYES);
    WT_CHECK_EQ(p.WaitExit(10000), 0ul);
    WT_CHECK(!FileExists(StagedInf()));
  }

  WT_CHECK(WriteFileBytes(kMissing, hlp));
  WT_CHECK(WriteFileBytes(kChanged, ReadFileBytes(kChanged) + "planted"));
  {
    Program p;
    WT_CHECK(StartVornell(p));
    if (p.window == nullptr) return Finish();
    const HWND w = p.window;
    WT_CHECK(WalkToInstall(w));
    const HWND box = WaitForMessageBox(p.pid(), w, 30000);
    WT_CHECK(box != nullptr);
    if (box != nullptr) {
      WT_CHECK_EQ(MessageBoxText(box), std::string(kBoxPackageDamaged));
      WT_CHECK_EQ(MessageBoxCaption(box), std::string(kBoxErrorCaption));
      WT_CHECK_EQ(ProgressPosition(w, 1008), 1);  // past the check of the names
      Sleep(300);
      WT_CHECK(SaveScreenshot(w, "route-damaged-file"));
      AnswerMessageBox(box, IDYES);
    }
    WT_CHECK_EQ(p.WaitExit(10000), 0ul);
    WT_CHECK(!FileExists(StagedInf()));
    WT_CHECK(!FileExists(L"C:\\Program Files\\Orvane"));
  }
  return Finish();
}
