// The wizard on a Windows whose ANSI code page is 1252 (a Western locale):
// its texts still read back as the right Unicode, the printer is still
// detected, the queue "Orvane RX730TⅡ" is still found by the services and by
// the wizard's registration wait, and the driver files still arrive.
// wine-test-env: VORNELL_LC_CTYPE=en_US.UTF-8
#include <algorithm>
#include <string>
#include <vector>

#include "platform/services.h"
#include "res/layout.h"
#include "tests/wine/driver.h"
#include "wizard/license_text.h"

using namespace wt;

namespace {

const wchar_t kSerial[] = L"RX7301252";
constexpr std::uint32_t kEnumFlags = vornell::kPrinterEnumLocal | vornell::kPrinterEnumConnections;

std::string TemplateText(int id) {
  for (const vornell::ControlLayout& c : vornell::MainDialogLayout().controls)
    if (c.id == id) return c.text;
  return "<no such control>";
}

// A long text of another process's window, asked for by message.
std::wstring MessageText(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
  // Room for as many bytes as characters, twice: an ANSI box may answer in bytes.
  std::vector<wchar_t> text((length + 1) * 2, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, 5000, &got)) {
    return {};
  }
  return std::wstring(text.data(), std::min<size_t>(got, text.size()));
}

std::wstring WithoutLineEnds(std::wstring s) {
  std::wstring out;
  for (wchar_t c : s)
    if (c != L'\r' && c != L'\n') out += c;
  return out;
}

void CheckCodePage() {
  const UINT acp = GetACP();
  Note("ANSI code page of this run: " + std::to_string(acp));
  WT_CHECK_EQ(acp, 1252u);
  // What the same bytes would read as through this code page: not the model.
  const std::string model = "Orvane RX730TⅡ";
  wchar_t wrong[64] = {};
  MultiByteToWideChar(CP_ACP, 0, model.c_str(), -1, wrong, 64);
  WT_CHECK(std::wstring(wrong) != Wide(model));
}

void CheckServicesFindQueue() {
  WT_CHECK(AddQueue(Wide("Orvane RX730TⅡ")));
  vornell::Services& services = vornell::GetServices();
  const std::uint32_t needed = services.EnumPrintersNeeded(kEnumFlags);
  void* buffer = services.AllocZeroed(static_cast<size_t>(needed) + 4);
  std::vector<std::string> names;
  WT_CHECK(buffer != nullptr && services.EnumPrintersFill(kEnumFlags, buffer, needed, names));
  services.Free(buffer);
  bool found = false;
  for (const std::string& n : names) found = found || n == "Orvane RX730TⅡ";
  WT_CHECK(found);
}

void CheckWindowTexts(HWND w) {
  WT_CHECK_EQ(TextW(w), Wide("Orvane打印机安装程序"));
  WT_CHECK_EQ(TextW(Item(w, 1009)), Wide("Orvane RX730TⅡ"));
  WT_CHECK_EQ(TextW(Item(w, 1005)), Wide(TemplateText(1005)));
  WT_CHECK_EQ(TextW(Item(w, 1014)), Wide(TemplateText(1014)));
  WT_CHECK_EQ(TextW(Item(w, 1001)), Wide("安装"));
  WT_CHECK_EQ(TextW(Item(w, 1002)), Wide("退出"));
}

// The agreement in the rich-edit box, read inside Vornell.exe: a "RichEdit20A"
// box hands another process its text through the ANSI code page.
void CheckLicenseText(Program& p) {
  const std::wstring expected = WithoutLineEnds(Wide(vornell::ComposeLicenseText("\r\n")));
  const std::wstring outside = WithoutLineEnds(MessageText(Item(p.window, 1022)));
  Note("the license box as WM_GETTEXT from this process gives it begins " + Show(outside.substr(0, 12)));

  const wchar_t* probeFile = L"C:\\window-probe.txt";
  DeleteFileW(probeFile);
  WT_CHECK(LoadLibraryInto(p.pi.hProcess, BuildFolder() + L"\\tests\\wine\\planted\\window_probe.dll", 10000));
  WT_CHECK(WaitUntil([&] { return FileExists(probeFile); }, 10000));
  const std::wstring probe = ReadFileWide(probeFile);
  const std::wstring inside = ValueOf(probe, L"license");
  if (inside != expected) {
    Note("license box holds " + std::to_string(inside.size()) + " characters, expected " +
         std::to_string(expected.size()) + "; it begins " + Show(inside.substr(0, 40)));
  }
  WT_CHECK(inside == expected);
  Note("label 1005's font: " + Show(ValueOf(probe, L"font1005.face")) + ", charset " +
       Gbk(ValueOf(probe, L"font1005.charset")));
}

void CheckHappyRoute() {
  WT_CHECK(AttachPrinter(kSerial));
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return;
  const HWND w = p.window;
  Sleep(1000);
  CheckWindowTexts(w);
  CheckLicenseText(p);
  SaveScreenshot(w, "codepage-1-license");

  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForText(w, 1018, "点击 “ 继续 ” 进行打印机驱动安装", 30000));
  WT_CHECK_EQ(TextW(Item(w, 1018)), Wide("点击 “ 继续 ” 进行打印机驱动安装"));
  WT_CHECK_EQ(TextW(Item(w, 1001)), Wide("继续"));
  WT_CHECK(WaitUntil([&] { return ItemEnabled(w, 1001); }, 10000));
  SaveScreenshot(w, "codepage-2-connection");

  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForText(w, 1018, "正在安装打印机驱动……", 30000));
  const ULONGLONG installing = GetTickCount64();
  WT_CHECK(WaitForText(w, 1018, "打印机驱动安装成功！", 120000));
  const ULONGLONG took = GetTickCount64() - installing;
  // Found at the first look the wait takes 7 s, then 3 s of pause; a name
  // it could not match would cost 27 s before the same page.
  Note("install page to success page: " + std::to_string(took) + " ms");
  WT_CHECK(took < 20000);
  WT_CHECK(WaitUntil([&] { return ItemEnabled(w, 1001) && ItemText(w, 1001) == "完成"; }, 10000));
  WT_CHECK_EQ(TextW(Item(w, 1001)), Wide("完成"));
  WT_CHECK_EQ(TextW(Item(w, 1019)), Wide("设置为默认打印机"));
  WT_CHECK_EQ(TextW(Item(w, 1020)), Wide("打印测试页"));
  Sleep(300);
  SaveScreenshot(w, "codepage-3-success");

  for (const char* name : {"RX730TP.INF", "RX730TP.gpd", "STDNAMES.GPD"})
    WT_CHECK(FileExists(PrinterDriverDirectory() + L"\\3\\" + Wide(name)));
  p.Kill();
}

}  // namespace

int wmain() {
  CheckCodePage();
  CheckServicesFindQueue();
  CheckHappyRoute();
  return Finish();
}
