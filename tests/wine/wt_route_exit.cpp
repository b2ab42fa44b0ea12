// "退出" on the license page asks before leaving: No keeps the page (built
// afresh), Yes ends the program.
#include <string>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const char* const kQuestion = "打印机驱动还没有完成安装，确定要退出安装？请选择:";
const char* const kCaption = "安装提示";

// The question box: its text, caption and exactly the buttons Yes and No,
// owned by the wizard, which it disables while it is up.
HWND AskToLeave(Program& p) {
  const HWND w = p.window;
  if (!ClickAsUser(w, 1002)) return nullptr;  // "退出"
  const HWND box = WaitForMessageBox(p.pid(), w, 10000);
  WT_CHECK(box != nullptr);
  if (box == nullptr) return nullptr;
  WT_CHECK_EQ(MessageBoxText(box), std::string(kQuestion));
  WT_CHECK_EQ(MessageBoxCaption(box), std::string(kCaption));
  WT_CHECK(MessageBoxHasButton(box, IDYES));
  WT_CHECK(MessageBoxHasButton(box, IDNO));
  WT_CHECK(!MessageBoxHasButton(box, IDOK));
  WT_CHECK(!MessageBoxHasButton(box, IDCANCEL));
  WT_CHECK(GetWindow(box, GW_OWNER) == w);
  WT_CHECK(!IsWindowEnabled(w));
  return box;
}

}  // namespace

int wmain() {
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  WT_CHECK(WaitForPage(w, WizardPage::kLicense, 10000));

  // No: the license page again, the agreement back at its start.
  ScrollToEnd(Item(w, 1022));
  WT_CHECK(FirstVisibleLine(Item(w, 1022)) > 0);
  HWND box = AskToLeave(p);
  if (box != nullptr) {
    Sleep(300);
    WT_CHECK(SaveScreenshot(w, "route-exit-question"));
    AnswerMessageBox(box, IDNO);
    WT_CHECK(WaitUntil([&] { return !IsWindow(box); }, 5000));
  }
  WT_CHECK(WaitForPage(w, WizardPage::kLicense, 5000));
  WT_CHECK(IsWindowEnabled(w));
  WT_CHECK_EQ(FirstVisibleLine(Item(w, 1022)), 0);
  const std::wstring text = FullTextW(Item(w, 1022));
  WT_CHECK_EQ(text.substr(0, text.find(L'\r')), Wide("Orvane图像许可协议"));
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, "route-exit-answered-no"));
  Sleep(1000);
  WT_CHECK(p.Running());
  WT_CHECK(WaitForMessageBox(p.pid(), w, 0) == nullptr);

  // Yes: the program ends.
  box = AskToLeave(p);
  if (box != nullptr) AnswerMessageBox(box, IDYES);
  WT_CHECK_EQ(p.WaitExit(10000), 0ul);
  return Finish();
}
