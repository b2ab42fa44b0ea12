// A package file held open by another process without sharing: the copy
// fails with the wizard's message after a few tries, nothing of the package
// reaches the staging folder (it is read whole before anything is staged),
// and once the file is released a new start of the installer completes it.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"HOSTILE0004";

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

ULONGLONG WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// What the held file leaves in the staging folder while the box is up:
// nothing that was not there before.
void CheckNothingStaged(const std::vector<std::wstring>& before, const std::wstring& held) {
  WT_CHECK(Contains(FolderNames(PackageFolder()), held));
  for (const std::wstring& name : FolderNames(StagingFolder())) {
    const bool known = Contains(before, name);
    if (!known) Note("staged although the package could not be read whole: " + Show(name));
    WT_CHECK(known);
  }
}

void HeldFile(const std::wstring& held, DWORD access) {
  Note("held open without sharing: " + Gbk(held));
  ClearStagedPackage();
  const std::vector<std::wstring> before = FolderNames(StagingFolder());
  const TreeSnapshot drive = SnapshotTree(L"C:\\");

  HANDLE hold = CreateFileW((PackageFolder() + L"\\" + held).c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  WT_CHECK(hold != INVALID_HANDLE_VALUE);
  {
    Program p;
    WT_CHECK(StartVornell(p));
    if (p.window == nullptr) {
      CloseHandle(hold);
      return;
    }
    WT_CHECK(WalkToInstall(p.window));
    HWND box = WaitForMessageBox(p.pid(), p.window, 60000);
    WT_CHECK(box != nullptr);
    if (box != nullptr) {
      WT_CHECK_EQ(MessageBoxText(box), std::string(kBoxCopyFailed));
      WT_CHECK_EQ(MessageBoxCaption(box), std::string(kBoxErrorCaption));
      WT_CHECK(MessageBoxHasButton(box, IDYES) && MessageBoxHasButton(box, IDNO));
      SaveScreenshot(box, "hostile-locked-box-" + Gbk(held));
      // The installation did not go on behind the box.
      WT_CHECK_EQ(ItemText(p.window, 1018), std::string(kStatusInstalling));
      WT_CHECK(!ItemEnabled(p.window, 1001));
      CheckNothingStaged(before, held);
      AnswerMessageBox(box, IDYES);
      const DWORD code = p.WaitExit(20000);
      WT_CHECK(code != STILL_ACTIVE && code < 0xC0000000u);
    }
  }
  CloseHandle(hold);
  CheckNothingStaged(before, held);

  // Released: the installer started again finishes the folder and keeps
  // the copies it made the first time.
  std::vector<std::pair<std::wstring, ULONGLONG>> kept;
  for (const std::wstring& name : PackageFileNames()) {
    if (FileExists(StagingFolder() + L"\\" + name)) kept.emplace_back(name, WriteTime(StagingFolder() + L"\\" + name));
  }
  Program again;
  WT_CHECK(StartVornell(again));
  if (again.window == nullptr) return;
  WT_CHECK(WalkToInstall(again.window));
  const bool success = WaitForSuccessPage(again);
  WT_CHECK(success);
  for (const std::wstring& name : PackageFileNames()) {
    WT_CHECK_EQ(ReadFileBytes(StagingFolder() + L"\\" + name), ReadFileBytes(PackageFolder() + L"\\" + name));
  }
  for (const auto& [name, time] : kept) WT_CHECK_EQ(WriteTime(StagingFolder() + L"\\" + name), time);
  if (success) WT_CHECK(FinishQuietly(again));

  WT_CHECK(WrittenOutsideDriverDirectory(drive).empty());
}

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(AddQueue(PrinterQueueName()));
  WT_CHECK(MakeFolders(StagingFolder()));
  HeldFile(L"UNIDRV.HLP", GENERIC_READ);
  // The INF, which the package check also looks at, held for writing.
  HeldFile(L"RX730TP.INF", GENERIC_READ | GENERIC_WRITE);
  return Finish();
}
