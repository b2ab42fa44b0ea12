// Files with GBK names beside the package's (plain Chinese names, names
// whose second bytes are a backslash, and names whose second bytes read as
// ASCII letters and '@'), and one whose name has no GBK form at all: none
// is the package's, so none is copied or staged, under its name or any
// other, and the install goes on. (That the staging keeps such names byte
// for byte when a package holds them is shown natively, with a manifest
// that lists them.)
#include <algorithm>
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"HOSTILE0002";

struct Extra {
  std::string gbk;  // the name's bytes, spelled out
  const char* what;
};

const std::vector<Extra> kExtras = {
    {"\xCB\xB5\xC3\xF7.txt", "说明.txt"},
    {"\x8A\x5C\x81\x5C.txt", "second bytes 0x5C"},
    {"\x81\x40\x81\x61\x81\x7A.TXT", "second bytes '@', 'a', 'z'"},
    {"\xB4\xF2\xD3\xA1\xBB\xFA \xC7\xFD\xB6\xAF.pdf", "打印机 驱动.pdf"},
};

bool HasGbkForm(const std::wstring& name) {
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, name.c_str(), static_cast<int>(name.size()), nullptr, 0,
                      nullptr, &usedDefault);
  return usedDefault == FALSE;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Every name in the staging folder that was not there before is a file of
// `allowed`, byte for byte as in `source`.
void CheckOnlyFilesOf(const std::vector<std::wstring>& before, const std::vector<std::wstring>& allowed,
                      const std::wstring& source) {
  for (const std::wstring& name : FolderNames(StagingFolder())) {
    if (Contains(before, name)) continue;
    const bool known = Contains(allowed, name);
    if (!known) Note("unexpected file in the staging folder: " + Show(Gbk(name)) + " " + Show(name));
    WT_CHECK(known);
    if (known) WT_CHECK_EQ(ReadFileBytes(StagingFolder() + L"\\" + name), ReadFileBytes(source + L"\\" + name));
  }
}

void GbkNamedStrangersAreNotStaged() {
  Note("GBK names");
  const std::vector<std::wstring> allowed = PackageFileNames();
  for (const Extra& extra : kExtras) {
    const std::wstring name = Wide(extra.gbk);
    WT_CHECK_EQ(Gbk(name), extra.gbk);  // the name survives the round trip itself
    WT_CHECK(WriteFileBytes(PackageFolder() + L"\\" + name, "the file " + extra.gbk));
  }
  const std::vector<std::wstring> before = FolderNames(StagingFolder());
  const TreeSnapshot drive = SnapshotTree(L"C:\\");

  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return;
  WT_CHECK(WalkToInstall(p.window));
  const bool success = WaitForSuccessPage(p);
  WT_CHECK(success);
  SaveScreenshot(p.window, "hostile-names-gbk");

  const std::vector<std::wstring> staged = FolderNames(StagingFolder());
  const std::vector<std::wstring> copied = FolderNames(L"C:\\Program Files\\Orvane\\Vornell\\x64\\driver");
  for (const Extra& extra : kExtras) {
    const std::wstring name = Wide(extra.gbk);
    const bool there = Contains(staged, name) || Contains(copied, name);
    if (there) Note(std::string("copied although not the package's: ") + extra.what);
    WT_CHECK(!there);
  }
  CheckOnlyFilesOf(before, allowed, PackageFolder());
  WT_CHECK(WrittenOutsideDriverDirectory(drive).empty());
  if (success) WT_CHECK(FinishQuietly(p));
}

void NameWithoutGbkFormIsNotCopied() {
  Note("a name with no GBK form");
  const std::wstring folder = Wide("C:\\外文");
  WT_CHECK(CopyPackageTo(folder, true));
  const std::wstring foreign = L"\xD55C\xAE00.txt";  // Hangul, which code page 936 lacks
  WT_CHECK(!HasGbkForm(foreign));
  const std::wstring source = folder + L"\\x64\\driver";
  WT_CHECK(WriteFileBytes(source + L"\\" + foreign, "a foreign name"));
  ClearStagedPackage();
  const std::vector<std::wstring> before = FolderNames(StagingFolder());
  const TreeSnapshot drive = SnapshotTree(L"C:\\");

  Program p;
  WT_CHECK(StartVornellAt(p, folder + L"\\Vornell.exe", folder));
  if (p.window == nullptr) return;
  WT_CHECK(WalkToInstall(p.window));
  const bool success = WaitForSuccessPage(p);
  WT_CHECK(success);
  SaveScreenshot(p.window, "hostile-names-foreign");

  // Nothing stands in for the foreign name, under a '?' name or any other.
  CheckOnlyFilesOf(before, PackageFileNames(), source);
  WT_CHECK(!Contains(FolderNames(StagingFolder()), foreign));
  WT_CHECK(WrittenOutsideDriverDirectory(drive).empty());
  if (success) WT_CHECK(FinishQuietly(p));
}

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(AddQueue(PrinterQueueName()));
  GbkNamedStrangersAreNotStaged();
  NameWithoutGbkFormIsNotCopied();
  return Finish();
}
