// "返回" on the retry page and on the connection page leads to the license
// page, built afresh: its controls and captions, and the agreement whole and
// shown from its start, even after the box was scrolled and its text replaced.
#include <string>

#include "tests/wine/driver.h"
#include "wizard/license_text.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"RX7300003";

// Line breaks as one character: the box may hand back CR or CR LF.
std::wstring OneBreak(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') continue;
    out += text[i] == L'\r' ? L'\n' : text[i];
  }
  while (!out.empty() && out.back() == L'\n') out.pop_back();
  return out;
}

// The license page as step 1 leaves it: the agreement from its first entry
// on, whole, the view and the caret at its start.
void CheckLicensePage(HWND w) {
  WT_CHECK(WaitForPage(w, WizardPage::kLicense, 10000));
  WT_CHECK_EQ(PageDifferences(w, WizardPage::kLicense), std::string());
  const HWND box = Item(w, 1022);
  const std::wstring text = OneBreak(FullTextW(box));
  const std::wstring first = Wide(vornell::licenseEntries[0]);
  WT_CHECK_EQ(first, Wide("Orvane图像许可协议"));
  WT_CHECK_EQ(text.substr(0, text.find(L'\n')), first);
  const std::wstring whole = OneBreak(Wide(vornell::ComposeLicenseText("\r\n")));
  WT_CHECK(text == whole);
  if (text != whole) {
    size_t at = 0;
    while (at < text.size() && at < whole.size() && text[at] == whole[at]) ++at;
    Note("the box holds " + std::to_string(text.size()) + " characters, the agreement " +
         std::to_string(whole.size()) + "; they part at " + std::to_string(at));
  }
  WT_CHECK_EQ(FirstVisibleLine(box), 0);
  DWORD_PTR selection = 1;
  SendMessageTimeoutW(box, EM_GETSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &selection);
  WT_CHECK_EQ(static_cast<unsigned long>(selection), 0ul);  // caret at 0, nothing selected
}

// "安装" to `page`, and "返回" from there to a rebuilt license page. The
// agreement is left scrolled to its end and, once the page is gone, its text
// is replaced: only a rebuilt page shows it whole from the start.
void BackFrom(HWND w, WizardPage page, const std::string& shot) {
  ScrollToEnd(Item(w, 1022));
  WT_CHECK(FirstVisibleLine(Item(w, 1022)) > 0);
  WT_CHECK(ClickAsUser(w, 1001));  // "安装"
  WT_CHECK(WaitForPage(w, page, 30000));
  WT_CHECK(!ItemVisible(w, 1022));
  DWORD_PTR ignored = 0;
  WT_CHECK(SendMessageTimeoutW(Item(w, 1022), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x"),
                               SMTO_ABORTIFHUNG, 5000, &ignored) != 0);
  WT_CHECK(FullTextW(Item(w, 1022)) == L"x");
  WT_CHECK(ClickAsUser(w, 1002));  // "返回"
  CheckLicensePage(w);
  Sleep(300);
  WT_CHECK(SaveScreenshot(w, shot));
}

}  // namespace

int wmain() {
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return Finish();
  const HWND w = p.window;
  CheckLicensePage(w);

  // From the retry page (no printer).
  BackFrom(w, WizardPage::kRetry, "route-back-from-retry");

  // From the connection page (printer attached). "安装" goes straight on to
  // the probe: the retry page's hold was cleared by the license page.
  WT_CHECK(AttachPrinter(kSerial));
  BackFrom(w, WizardPage::kConnection, "route-back-from-connection");

  // And the route goes on from there as before.
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForPage(w, WizardPage::kConnection, 30000));
  WT_CHECK(WaitForMessageBox(p.pid(), w, 0) == nullptr);

  PostMessageW(w, WM_CLOSE, 0, 0);
  WT_CHECK(p.WaitExit(5000) != STILL_ACTIVE);
  return Finish();
}
