// Current directories the user may start the installer from: a GBK-named
// folder with and without the package, a GBK name whose second bytes are
// backslashes, folders whose package paths pass MAX_PATH, and folders of
// MAX_PATH and beyond. Nothing may be written outside the printer-driver
// directory.
//
// Wine keeps the current directory in a buffer of MAX_PATH characters and
// does not check the length: from 259 characters on (with the final
// backslash and the zero) it writes past the buffer, in whichever process
// sets the directory or starts a program there. So no current directory of
// that length is set in this process, and programs are started there only
// from a throw-away child of it; the engine cannot be run in-process there.
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"HOSTILE0001";
const wchar_t* const kLaunchResult = L"C:\\hostile-launch.txt";

int StagedCount() {
  int count = 0;
  for (const std::wstring& name : PackageFileNames()) count += FileExists(StagingFolder() + L"\\" + name);
  return count;
}

void CheckStagedFromPackage() {
  for (const std::wstring& name : PackageFileNames()) {
    const std::string want = ReadFileBytes(PackageFolder() + L"\\" + name);
    WT_CHECK(!want.empty());
    WT_CHECK_EQ(ReadFileBytes(StagingFolder() + L"\\" + name), want);
  }
}

// A folder of exactly `length` characters under C:\, made of components of
// at most 100 characters of `fill`.
std::wstring FolderOfLength(const std::wstring& base, size_t length, wchar_t fill) {
  std::wstring path = base;
  while (path.size() < length) {
    size_t room = length - path.size() - 1;
    if (room > 100) room = length - path.size() - 1 - 100 == 1 ? 99 : 100;
    path += L"\\" + std::wstring(room, fill);
  }
  return path;
}

// The exit code of the wizard when it ends the ordinary way, learnt from the
// first run; a crash ends it with an exception code instead.
DWORD g_normalExit = STILL_ACTIVE;

void CheckNormalExit(DWORD code, const std::string& where) {
  if (g_normalExit == STILL_ACTIVE) g_normalExit = code;
  if (code != g_normalExit) Note(where + ": exit code " + Show(static_cast<unsigned long>(code)));
  WT_CHECK_EQ(code, g_normalExit);
  WT_CHECK(code < 0xC0000000u);
}

// Started in a folder holding the package: the whole route to the success
// page, the package staged byte for byte.
void RunExpectingSuccess(const std::wstring& exe, const std::wstring& folder, const std::string& name) {
  Note("started in " + Show(Gbk(folder)) + " (" + std::to_string(folder.size()) + " characters)");
  ClearStagedPackage();
  Program p;
  WT_CHECK(StartVornellAt(p, exe, folder));
  if (p.window == nullptr) return;
  WT_CHECK(WalkToInstall(p.window));
  const bool success = WaitForSuccessPage(p);
  WT_CHECK(success);
  if (!success) {
    SaveScreenshot(p.window, name + "-failed");
    return;
  }
  SaveScreenshot(p.window, name);
  CheckStagedFromPackage();
  WT_CHECK(FinishQuietly(p));
  CheckNormalExit(p.WaitExit(10000), name);
}

// The install step finds no package: the box, and Yes ends the wizard
// with nothing staged.
void CheckMissingBox(Program& p, const std::string& name) {
  HWND box = WaitForMessageBox(p.pid(), p.window, 60000);
  WT_CHECK(box != nullptr);
  if (box == nullptr) return;
  WT_CHECK_EQ(MessageBoxText(box), std::string(kBoxFilesMissing));
  WT_CHECK_EQ(MessageBoxCaption(box), std::string(kBoxErrorCaption));
  WT_CHECK(MessageBoxHasButton(box, IDYES) && MessageBoxHasButton(box, IDNO));
  SaveScreenshot(box, name);
  WT_CHECK_EQ(StagedCount(), 0);
  AnswerMessageBox(box, IDYES);
  CheckNormalExit(p.WaitExit(20000), name);
}

void RunExpectingMissing(const std::wstring& exe, const std::wstring& folder, const std::string& name) {
  Note("started in " + Show(Gbk(folder)) + " without the package");
  ClearStagedPackage();
  Program p;
  WT_CHECK(StartVornellAt(p, exe, folder));
  if (p.window == nullptr) return;
  WT_CHECK(WalkToInstall(p.window));
  CheckMissingBox(p, name);
}

// ---- beyond what Wine starts a program in ----

// Runs in a child copy of this program: Wine's process creation has been
// seen to corrupt the starting process's heap for some directory lengths,
// so the test itself never makes that call.
int Launch(const std::wstring& exe, const std::wstring& folder) {
  Program p;
  std::string result;
  if (Start(p, exe, folder)) {
    result = "started " + std::to_string(p.pid());
    p.pi.hProcess = nullptr;  // left running for the test
  } else {
    result = "failed " + std::to_string(GetLastError());
  }
  WriteFileBytes(kLaunchResult, result);
  return 0;
}

void RunBeyondTheLimit(const std::wstring& folder, const std::string& name) {
  Note("starting in a folder of " + std::to_string(folder.size()) + " characters");
  ClearStagedPackage();
  DeleteFileW(kLaunchResult);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  Program launcher;
  const std::wstring arguments = L"--launch \"" + ProgramPath() + L"\" \"" + folder + L"\"";
  WT_CHECK(Start(launcher, self, InstallFolder(), arguments));
  const DWORD launcherExit = launcher.WaitExit(60000);
  const std::string result = ReadFileBytes(kLaunchResult);
  if (result.rfind("started ", 0) != 0) {
    Note("  Wine could not start the program there: " +
         (result.empty() ? "the starting process died, exit code " + Show(static_cast<unsigned long>(launcherExit))
                         : result));
    return;
  }
  Program p;
  WT_CHECK(AdoptProcess(p, static_cast<DWORD>(std::stoul(result.substr(8)))));
  p.window = FindWindowOf(p.pid(), kWizardCaption, 20000);
  if (p.window == nullptr) {
    const DWORD code = p.WaitExit(10000);
    Note("  the program started but never showed its window; Wine ended it with " +
         Show(static_cast<unsigned long>(code)));
    WT_CHECK(code != STILL_ACTIVE);
    WT_CHECK_EQ(StagedCount(), 0);
    return;
  }
  WT_CHECK(WalkToInstall(p.window));
  // Wine starts it in the Windows folder when it cannot use the one asked
  // for: then the package is missing. Either way the program must say so
  // or install, and nothing else.
  bool success = false;
  HWND box = nullptr;
  WaitUntil([&] {
    success = PageDifferences(p.window, WizardPage::kSuccess).empty();
    box = WaitForMessageBox(p.pid(), p.window, 0);
    return success || box != nullptr;
  }, 90000);
  if (success) {
    Note("  found the package there and installed");
    CheckStagedFromPackage();
    WT_CHECK(FinishQuietly(p));
    CheckNormalExit(p.WaitExit(10000), name);
  } else {
    Note("  reported the package missing (Wine started it in another folder)");
    WT_CHECK(box != nullptr);
    if (box != nullptr) CheckMissingBox(p, name);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"--launch") return Launch(argv[2], argv[3]);

  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(AddQueue(PrinterQueueName()));  // already there: the wait finds it at once

  const std::wstring gbkFolder = Wide("C:\\安装程序\\打印机");
  const std::wstring emptyGbkFolder = Wide("C:\\安装程序\\空文件夹");
  const std::wstring trailFolder = Wide("C:\\奬乗\\驱动");  // second bytes 0x5C
  WT_CHECK_EQ(Gbk(trailFolder).substr(3, 4), std::string("\x8A\x5C\x81\x5C"));
  const std::wstring near250 = FolderOfLength(L"C:\\near250", 250, L'n');
  const std::wstring near258 = FolderOfLength(Wide("C:\\打印机258"), 258, L'n');
  WT_CHECK(CopyPackageTo(gbkFolder, true));
  WT_CHECK(MakeFolders(emptyGbkFolder));
  WT_CHECK(CopyFileW(ProgramPath().c_str(), (emptyGbkFolder + L"\\Vornell.exe").c_str(), FALSE));
  WT_CHECK(CopyPackageTo(trailFolder, true));
  WT_CHECK(CopyPackageTo(near250, false));
  WT_CHECK(CopyPackageTo(near258, false));
  std::vector<std::wstring> beyond;
  for (size_t length : {259, 260, 270, 300, 400}) {
    beyond.push_back(FolderOfLength(L"C:\\beyond" + std::to_wstring(length), length, L'b'));
    WT_CHECK(CopyPackageTo(beyond.back(), false));
  }

  const TreeSnapshot before = SnapshotTree(L"C:\\");
  Note("C: holds " + std::to_string(before.size()) + " files and folders");

  RunExpectingSuccess(gbkFolder + L"\\Vornell.exe", gbkFolder, "hostile-cwd-gbk");
  RunExpectingMissing(emptyGbkFolder + L"\\Vornell.exe", emptyGbkFolder, "hostile-cwd-gbk-missing");
  RunExpectingSuccess(trailFolder + L"\\Vornell.exe", trailFolder, "hostile-cwd-trail");
  RunExpectingSuccess(ProgramPath(), near250, "hostile-cwd-250");
  RunExpectingSuccess(ProgramPath(), near258, "hostile-cwd-258");
  for (const std::wstring& folder : beyond) {
    RunBeyondTheLimit(folder, "hostile-cwd-" + std::to_string(folder.size()));
  }

  DeleteFileW(kLaunchResult);
  WT_CHECK(WrittenOutsideDriverDirectory(before).empty());
  return Finish();
}
