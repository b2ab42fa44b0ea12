// A staging folder that already holds files of the package, one read-only
// with other content, one hidden with other content, one read-only with the
// same content: two whole installations leave each byte for byte as it was,
// with its attributes and its time, and stage only the files missing.
#include <string>
#include <vector>

#include "tests/wine/driver.h"

using namespace wt;

namespace {

const wchar_t* const kSerial = L"HOSTILE0003";

struct Existing {
  std::wstring name;
  std::string content;
  DWORD attributes;  // asked for; what the file system keeps is read back
};

struct Facts {
  std::string bytes;
  DWORD attributes = INVALID_FILE_ATTRIBUTES;
  ULONGLONG written = 0;
};

Facts FactsOf(const std::wstring& path) {
  Facts facts;
  facts.bytes = ReadFileBytes(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    facts.attributes = data.dwFileAttributes;
    facts.written = (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
  }
  return facts;
}

// An older time, so a rewrite with the same bytes would still show.
void MakeOld(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME old{2019, 3, 0, 14, 9, 30, 0, 0};
  FILETIME time{};
  SystemTimeToFileTime(&old, &time);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

bool Install(int round) {
  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) return false;
  WT_CHECK(WalkToInstall(p.window));
  const bool success = WaitForSuccessPage(p);
  WT_CHECK(success);
  if (!success) {
    SaveScreenshot(p.window, "hostile-dest-failed-" + std::to_string(round));
    return false;
  }
  SaveScreenshot(p.window, "hostile-dest-" + std::to_string(round));
  WT_CHECK(FinishQuietly(p));
  return true;
}

}  // namespace

int wmain() {
  WT_CHECK(AttachPrinter(kSerial));
  WT_CHECK(AddQueue(PrinterQueueName()));
  WT_CHECK(MakeFolders(StagingFolder()));

  const std::vector<Existing> existing = {
      {L"RX730TP.INF", "; an older Orvane INF\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n",
       FILE_ATTRIBUTE_READONLY},
      {L"UNIDRV.DLL", std::string("MZ\x90\0older unidrv", 16), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {L"RX730TP.gpd", ReadFileBytes(PackageFolder() + L"\\RX730TP.gpd"),
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
  };
  std::vector<Facts> facts;
  for (const Existing& file : existing) {
    const std::wstring path = StagingFolder() + L"\\" + file.name;
    WT_CHECK(WriteFileBytes(path, file.content));
    MakeOld(path);
    WT_CHECK(SetFileAttributesW(path.c_str(), file.attributes));
    facts.push_back(FactsOf(path));
    WT_CHECK_EQ(facts.back().bytes, file.content);
    WT_CHECK((facts.back().attributes & FILE_ATTRIBUTE_READONLY) == (file.attributes & FILE_ATTRIBUTE_READONLY));
    if ((facts.back().attributes & FILE_ATTRIBUTE_HIDDEN) != (file.attributes & FILE_ATTRIBUTE_HIDDEN)) {
      Note("Wine does not keep the hidden attribute of " + Gbk(file.name) + " on this file system");
    }
  }
  const TreeSnapshot drive = SnapshotTree(L"C:\\");

  for (int round = 1; round <= 2; ++round) {
    Note("installation " + std::to_string(round));
    Install(round);
    for (size_t i = 0; i < existing.size(); ++i) {
      const Facts now = FactsOf(StagingFolder() + L"\\" + existing[i].name);
      if (now.bytes != facts[i].bytes) Note(Gbk(existing[i].name) + " was rewritten");
      WT_CHECK(now.bytes == facts[i].bytes);
      WT_CHECK_EQ(now.attributes, facts[i].attributes);
      WT_CHECK_EQ(now.written, facts[i].written);
    }
    // The files that were missing are staged from the package.
    for (const std::wstring& name : PackageFileNames()) {
      bool preexisting = false;
      for (const Existing& file : existing) preexisting = preexisting || file.name == name;
      if (preexisting) continue;
      WT_CHECK_EQ(ReadFileBytes(StagingFolder() + L"\\" + name), ReadFileBytes(PackageFolder() + L"\\" + name));
      const DWORD attributes = FileAttributesOf(StagingFolder() + L"\\" + name);
      WT_CHECK(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0);
    }
  }

  WT_CHECK(WrittenOutsideDriverDirectory(drive).empty());
  return Finish();
}
