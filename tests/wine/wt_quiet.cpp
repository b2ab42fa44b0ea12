// The unattended mode of the real Vornell.exe, as a deployment tool runs it:
// exit codes read from a Windows-side launcher, no window at any point, the
// UTF-8 log, the files staged, the driver store without a printer, the
// printer commands of /setdefault and /testpage, the install lock, and the
// log the wizard writes.
// C:\redirected is a Unix symbolic link to C:\elsewhere, the one kind of
// redirected folder Wine follows (it makes no junctions); S: is a drive
// letter for the folder C:\subst-target, as near as Wine comes to "subst".
// wine-test-env: VORNELL_TEST_SETUP=mkdir "$WINEPREFIX/drive_c/elsewhere" && ln -s elsewhere "$WINEPREFIX/drive_c/redirected" && mkdir "$WINEPREFIX/drive_c/subst-target" && ln -s ../drive_c/subst-target "$WINEPREFIX/dosdevices/s:"
// China's time zone, for the bias of the CMTrace records:
// wine-test-env: TZ=Asia/Shanghai
#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "tests/wine/driver.h"

#include <sddl.h>

using namespace wt;

namespace {

const wchar_t kSerial[] = L"RX7300051";
const std::wstring kIncomplete = L"C:\\incomplete";

struct Run {
  DWORD code = STILL_ACTIVE;
  bool window = false;     // a top-level window of the process was seen
  std::string output;      // what it wrote to its standard output
  ULONGLONG tookMs = 0;
};

BOOL CALLBACK NoteWindowOf(HWND hwnd, LPARAM lp) {
  auto* run = reinterpret_cast<std::pair<DWORD, bool>*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == run->first) run->second = true;
  return TRUE;
}

// Starts `exe arguments` in `currentDir` with a pipe for its standard
// output, watches for any window of it until it ends, and reads its code.
Run RunQuiet(const std::wstring& exe, const std::wstring& arguments, const std::wstring& currentDir,
             const wchar_t* desktop = nullptr) {
  Run run;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  CreatePipe(&readEnd, &writeEnd, &inherit, 1 << 16);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.lpDesktop = const_cast<wchar_t*>(desktop);
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + exe + L"\" " + arguments;
  const ULONGLONG start = GetTickCount64();
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, currentDir.c_str(), &si, &pi)) {
    Note("could not start " + Gbk(exe));
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return run;
  }
  CloseHandle(writeEnd);
  std::pair<DWORD, bool> seen{pi.dwProcessId, false};
  while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT && GetTickCount64() - start < 120000) {
    EnumWindows(NoteWindowOf, reinterpret_cast<LPARAM>(&seen));
  }
  run.tookMs = GetTickCount64() - start;
  GetExitCodeProcess(pi.hProcess, &run.code);
  run.window = seen.second;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
  CloseHandle(readEnd);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  Note(Gbk(arguments) + " in " + Gbk(currentDir) + ": exit code " + std::to_string(run.code) + " after " +
       ShowSeconds(run.tookMs));
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Every line stamped "YYYY-MM-DD hh:mm:ss.mmm ".
bool Stamped(const std::string& line) {
  static const char kShape[] = "dddd-dd-dd dd:dd:dd.ddd ";
  if (line.size() < sizeof kShape - 1) return false;
  for (size_t i = 0; i + 1 < sizeof kShape; ++i) {
    const bool digit = line[i] >= '0' && line[i] <= '9';
    if (kShape[i] == 'd' ? !digit : line[i] != kShape[i]) return false;
  }
  return true;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& piece) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(piece) != std::string::npos; });
}

// The log file (UTF-8) as lines; each must be stamped; notes them.
std::vector<std::string> ReadLog(const std::wstring& path) {
  const std::vector<std::string> lines = Lines(ReadFileBytes(path));
  WT_CHECK(!lines.empty());
  for (const std::string& l : lines) {
    if (!Stamped(l)) Note("unstamped log line: " + l);
    WT_CHECK(Stamped(l));
  }
  return lines;
}

// Configuration Manager's records, one a line, the first after a UTF-8 byte
// order mark: <![LOG[text]LOG]!><time="hh:mm:ss.mmm-480" date="mm-dd-yyyy"
// component="Vornell" context="" type="1|2|3" thread="N" file="">.
bool IsRecord(const std::string& line, bool first) {
  static const std::regex kShape(
      R"((\xEF\xBB\xBF)?<!\[LOG\[.*\]LOG\]!><time="\d\d:\d\d:\d\d\.\d{3}-480" date="\d\d-\d\d-\d{4}" )"
      R"(component="Vornell" context="" type="[123]" thread="\d+" file="">)");
  return std::regex_match(line, kShape) && (line.rfind("\xEF\xBB\xBF", 0) == 0) == first;
}

std::vector<std::string> ReadRecords(const std::wstring& path) {
  const std::vector<std::string> lines = Lines(ReadFileBytes(path));
  WT_CHECK(!lines.empty());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!IsRecord(lines[i], i == 0)) Note("not a CMTrace record: " + lines[i]);
    WT_CHECK(IsRecord(lines[i], i == 0));
  }
  return lines;
}

void CheckCommandLines() {
  const Run bad = RunQuiet(ProgramPath(), L"/quiet /reboot", InstallFolder());
  WT_CHECK_EQ(bad.code, 1639ul);
  WT_CHECK(!bad.window);
  WT_CHECK(bad.output.find("Usage: Vornell.exe") != std::string::npos);

  const Run help = RunQuiet(ProgramPath(), L"-HELP", InstallFolder());
  WT_CHECK_EQ(help.code, 0ul);
  WT_CHECK(!help.window);
  WT_CHECK(help.output.find("/quiet") != std::string::npos);
}

// Both folders the package is looked for hold an incomplete one: nothing is
// staged, and the log names the missing file.
void CheckIncompletePackage() {
  WT_CHECK(CopyPackageTo(kIncomplete, true));
  WT_CHECK(DeleteFileW((kIncomplete + L"\\x64\\driver\\UNIDRV.HLP").c_str()));
  const TreeSnapshot before = SnapshotTree(StagingFolder());
  const std::wstring log = L"C:\\quiet-incomplete.log";
  const Run run = RunQuiet(kIncomplete + L"\\Vornell.exe", L"/quiet /log " + log, kIncomplete);
  WT_CHECK_EQ(run.code, 1619ul);
  WT_CHECK(!run.window);
  WT_CHECK(TreeChanges(before, SnapshotTree(StagingFolder()), {}).empty());
  const std::vector<std::string> lines = ReadLog(log);
  WT_CHECK(HasLine(lines, "first missing file: .\\x64\\driver\\UNIDRV.HLP"));
  WT_CHECK(!lines.empty() && lines.back().find("exit code: 1619") != std::string::npos);
  // A failed run: what Windows' device-installation log gained, or one line
  // why nothing (Wine may have none).
  WT_CHECK(HasLine(lines, "Windows' device-installation log (C:\\windows\\INF\\setupapi.dev.log)"));
  for (const std::string& l : lines) {
    if (l.find("device-installation log") != std::string::npos) Note("log: " + l);
  }
}

// Through the link, the log would land in C:\elsewhere: it is refused, and
// the run goes on.
void CheckRedirectedLog() {
  const std::wstring seen = L"C:\\elsewhere\\seen-through-the-link";
  WT_CHECK(WriteFileBytes(seen, "x"));
  if (!FileExists(L"C:\\redirected\\seen-through-the-link")) {
    Note("C:\\redirected does not lead to C:\\elsewhere: VORNELL_TEST_SETUP (see the top of this file) was not run");
  }
  WT_CHECK(FileExists(L"C:\\redirected\\seen-through-the-link"));
  DeleteFileW(seen.c_str());
  const Run run = RunQuiet(ProgramPath(), L"/quiet /log C:\\redirected\\quiet.log", InstallFolder());
  WT_CHECK_EQ(run.code, 0ul);
  WT_CHECK(!FileExists(L"C:\\elsewhere\\quiet.log"));
  // Said on the console the run was started from, in one line.
  Note("output: " + run.output);
  WT_CHECK(run.output.rfind("Vornell: no log at C:\\redirected\\quiet.log: ", 0) == 0);
  WT_CHECK(Lines(run.output).size() == 1);
}

// A log on a drive letter that stands for a folder is made and kept there.
// Wine shows such a letter as a volume of its own (QueryDosDeviceW answers
// \Device\HarddiskVolume2, final paths begin "S:\"), so what is checked
// here is that the letter's resolution keeps a good log. A letter made with
// DefineDosDeviceW, which Wine answers as "\??\C:\subst-target", opens no
// file there (error 2), so a substituted letter cannot be shown.
void CheckSubstitutedDriveLog() {
  wchar_t target[1024] = {};
  if (QueryDosDeviceW(L"S:", target, 1024) != 0) Note("QueryDosDeviceW(S:): " + Gbk(target));
  const Run run = RunQuiet(ProgramPath(), L"/quiet /log S:\\quiet-subst.log", InstallFolder());
  WT_CHECK_EQ(run.code, 0ul);
  if (!run.output.empty()) Note("output: " + run.output);
  WT_CHECK(run.output.empty());
  const std::vector<std::string> lines = ReadLog(L"C:\\subst-target\\quiet-subst.log");
  WT_CHECK(!lines.empty() && lines.back().find("exit code: 0") != std::string::npos);
}

// No printer: the driver goes into the driver store, and the run succeeds.
// The package's INF goes there, not an older one an earlier version left in
// the driver directory (staging keeps it). Also with a log that cannot be
// written (its path is a folder, or it leads elsewhere).
void CheckNoPrinter() {
  const std::wstring storedInf = L"C:\\windows\\inf\\RX730TP.INF";
  WT_CHECK(!FileExists(storedInf));
  const std::string olderInf = "; an older version of the driver\r\n";
  WT_CHECK(MakeFolders(StagingFolder()));
  WT_CHECK(WriteFileBytes(StagingFolder() + L"\\RX730TP.INF", olderInf));
  const std::wstring log = L"C:\\quiet-noprinter.log";
  const Run run = RunQuiet(ProgramPath(), L"/quiet /log " + log, InstallFolder());
  WT_CHECK_EQ(run.code, 0ul);
  WT_CHECK(!run.window);
  // Wine keeps the INF's own name in the store where Windows would say oem<N>.inf.
  WT_CHECK_EQ(ReadFileBytes(storedInf), ReadFileBytes(PackageFolder() + L"\\RX730TP.INF"));
  WT_CHECK_EQ(ReadFileBytes(StagingFolder() + L"\\RX730TP.INF"), olderInf);
  const std::vector<std::string> lines = ReadLog(log);
  WT_CHECK(HasLine(lines, "no printer attached"));
  WT_CHECK(HasLine(lines, "the driver is in the driver store"));
  WT_CHECK(HasLine(lines, "SetupCopyOemInf("));

  const std::wstring folder = L"C:\\quiet-log-folder";
  CreateDirectoryW(folder.c_str(), nullptr);
  const Run noLog = RunQuiet(ProgramPath(), L"/quiet /log " + folder, InstallFolder());
  WT_CHECK_EQ(noLog.code, 0ul);
  WT_CHECK_EQ(FileAttributesOf(folder), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  CheckRedirectedLog();
  CheckSubstitutedDriveLog();
}

// The update worked (Wine's always does) but no queue comes: a failure once
// the wait is over, which the environment shortens here from 120 s.
// A program folder whose name GBK cannot spell (Hangul, an o with umlaut)
// still installs: the package is reached from that folder in UTF-16.
void CheckProgramFolderBeyondGbk() {
  const std::wstring folder = L"C:\\\xD328\xD0A4\xC9C0 \x00F6";
  WT_CHECK(CopyPackageTo(folder, true));
  const Run run = RunQuiet(folder + L"\\Vornell.exe", L"/quiet /log C:\\quiet-beyond-gbk.log", L"C:\\");
  WT_CHECK_EQ(run.code, 0ul);
  WT_CHECK(HasLine(ReadLog(L"C:\\quiet-beyond-gbk.log"), "found: .\\x64\\driver\\STDNAMES.GPD"));
}

void CheckNoQueue() {
  SetEnvironmentVariableW(L"VORNELL_QUEUE_WAIT_MS", L"5000");
  const Run run = RunQuiet(ProgramPath(), L"/quiet /logformat cmtrace /log C:\\quiet-noqueue.log", InstallFolder());
  SetEnvironmentVariableW(L"VORNELL_QUEUE_WAIT_MS", nullptr);
  WT_CHECK_EQ(run.code, 1603ul);
  WT_CHECK(!run.window);
  WT_CHECK(run.tookMs >= 5000);
  const std::vector<std::string> lines = ReadRecords(L"C:\\quiet-noqueue.log");
  WT_CHECK(HasLine(lines, "<![LOG[WaitNoPendingInstalls(up to 300000 ms): no device installation pending"));
  // The failure as an error, the printer's name in UTF-8 (Ⅱ is E2 85 A1).
  WT_CHECK(HasLine(lines, "the queue did not appear within 5000 ms: Orvane RX730T\xE2\x85\xA1]LOG]!>"));
  for (const std::string& l : lines) {
    if (l.find("the queue did not appear") != std::string::npos) WT_CHECK(l.find("type=\"3\"") != std::string::npos);
    if (l.find("device-installation log") != std::string::npos) Note("log: " + l);
  }
  WT_CHECK(HasLine(lines, "<![LOG[Windows' device-installation log (C:\\windows\\INF\\setupapi.dev.log)"));
  WT_CHECK(!lines.empty() && lines.back().rfind("<![LOG[exit code: 1603]LOG]!>", 0) == 0 &&
           lines.back().find("type=\"3\"") != std::string::npos);

  // A run that does not end (here: a long wait for the queue) ends itself
  // at the run's limit, shortened for the test.
  SetEnvironmentVariableW(L"VORNELL_RUN_LIMIT_MS", L"2000");
  const Run cut = RunQuiet(ProgramPath(), L"/quiet /log C:\\quiet-limit.log", InstallFolder());
  SetEnvironmentVariableW(L"VORNELL_RUN_LIMIT_MS", nullptr);
  WT_CHECK_EQ(cut.code, 1603ul);
  WT_CHECK(cut.tookMs >= 2000 && cut.tookMs < 60000);
  const std::vector<std::string> limitLines = ReadLog(L"C:\\quiet-limit.log");
  WT_CHECK(HasLine(limitLines,
                   "the run did not end within 2000 ms; it ends itself; the step was: waiting for the printer queue"));
  // Then, last, what Windows' device installation wrote meanwhile.
  WT_CHECK(!limitLines.empty() && limitLines.back().find("Windows' device-installation log") != std::string::npos);
}

// Printer attached and its queue there: started in a folder where somebody
// planted a package of their own, the package beside the program is the one
// staged; both printer commands follow, quiet and awaited.
void CheckInstall(ProcessWatch& watch) {
  ClearStagedPackage();
  const std::wstring planted = L"C:\\planted";
  WT_CHECK(CopyPackageTo(planted, false));
  WT_CHECK(WriteFileBytes(planted + L"\\x64\\driver\\RX730TP.gpd", "*% planted\r\n"));
  WT_CHECK(AddQueue(PrinterQueueName()));
  // Beside the package's files, but not one of them: never copied.
  WT_CHECK(WriteFileBytes(PackageFolder() + L"\\UNIDRV.DLL.old", "not the package's"));
  watch.Collect(200, 2000);
  const std::wstring log = L"C:\\quiet-install.log";
  const Run run = RunQuiet(ProgramPath(), L"/QUIET /setdefault -testpage /log " + log, planted);
  WT_CHECK_EQ(run.code, 0ul);
  WT_CHECK(!run.window);
  for (const std::wstring& name : PackageFileNames()) {
    WT_CHECK_EQ(ReadFileBytes(StagingFolder() + L"\\" + name), ReadFileBytes(PackageFolder() + L"\\" + name));
  }
  const std::vector<std::string> lines = ReadLog(log);
  for (const std::string& l : lines) Note("log: " + l);
  for (const char* piece : {"Vornell 1.0.0.1, unattended", "command line: ", "elevated: ", "current directory: C:\\planted",
                            "ANSI code page: 936", "package folder: C:\\vornell\\x64\\driver\\",
                            "found: .\\x64\\driver\\RX730TP.INF", "staged: UNIDRV.DLL",
                            "printer attached: \\\\?\\usb#vid_f0e1&pid_c20b#rx7300051",
                            "UpdateDriver(\"USBPRINT\\OrvaneRX730TII87C8\"", "EnumPrintersFill(",
                            "queue found after 0 ms: "}) {
    if (!HasLine(lines, piece)) Note(std::string("no log line with: ") + piece);
    WT_CHECK(HasLine(lines, piece));
  }
  WT_CHECK(HasLine(lines, Utf8(Wide("queue found after 0 ms: Orvane RX730TⅡ"))));
  WT_CHECK(HasLine(lines, "not part of the package, never copied: UNIDRV.DLL.old"));
  WT_CHECK(!FileExists(StagingFolder() + L"\\UNIDRV.DLL.old"));
  WT_CHECK(!FileExists(L"C:\\Program Files\\Orvane\\Vornell\\x64\\driver\\UNIDRV.DLL.old"));
  WT_CHECK(DeleteFileW((PackageFolder() + L"\\UNIDRV.DLL.old").c_str()));
  WT_CHECK(!lines.empty() && lines.back().find("exit code: 0") != std::string::npos);

  WT_CHECK(HasLine(lines, "RunRundll32(printui.dll,PrintUIEntry /k /q /n "));
  WT_CHECK(HasLine(lines, "ms): finished after "));
  // Wine's printui does nothing: the default read back is not the queue.
  WT_CHECK(HasLine(lines, "DefaultPrinter()"));
  WT_CHECK(HasLine(lines, "/setdefault did not make "));
  WT_CHECK(HasLine(lines, "a test page was asked for"));

  // Both commands, started by the unattended run for the queue, with
  // printui's error boxes off.
  const std::vector<StartedProcess> started = watch.Collect(2000, 15000);
  int setDefault = 0, testPage = 0;
  const std::wstring queue = L" /q /n \"" + PrinterQueueName() + L"\"";
  for (const StartedProcess& p : started) {
    Note("started " + Gbk(p.commandLine));
    if (p.commandLine.find(L"PrintUIEntry /y" + queue) != std::wstring::npos) ++setDefault;
    if (p.commandLine.find(L"PrintUIEntry /k" + queue) != std::wstring::npos) ++testPage;
  }
  WT_CHECK_EQ(setDefault, 1);
  WT_CHECK_EQ(testPage, 1);
}

// The file's permissions as SDDL; empty when they cannot be read.
std::wstring DaclOf(const std::wstring& path) {
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<BYTE> descriptor(size);
  wchar_t* text = nullptr;
  if (size == 0 || !GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), size, &size) ||
      !ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                            DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return {};
  }
  std::wstring dacl = text;
  LocalFree(text);
  return dacl;
}

std::vector<std::wstring> DriverNames() {
  DWORD needed = 0, count = 0;
  EnumPrinterDriversW(nullptr, nullptr, 1, nullptr, 0, &needed, &count);
  std::vector<BYTE> buffer(needed + 1);
  std::vector<std::wstring> names;
  if (!EnumPrinterDriversW(nullptr, nullptr, 1, buffer.data(), needed, &needed, &count)) return names;
  const auto* drivers = reinterpret_cast<const DRIVER_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names.push_back(drivers[i].pName);
  return names;
}

bool Contains(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// INF files under C:\windows\inf holding the package's INF.
int StoredPackageInfs() {
  const std::string package = ReadFileBytes(PackageFolder() + L"\\RX730TP.INF");
  int found = 0;
  for (const std::wstring& name : FolderNames(L"C:\\windows\\inf")) {
    if (ReadFileBytes(L"C:\\windows\\inf\\" + name) == package) ++found;
  }
  return found;
}

// A package whose RX730TP.dll is not the one built into the program: 1620,
// one line naming the file, and nothing staged, stored or left under
// Program Files.
void CheckChangedPackage() {
  const std::wstring changed = L"C:\\changed";
  WT_CHECK(CopyPackageTo(changed, true));
  const std::wstring dll = changed + L"\\x64\\driver\\RX730TP.dll";
  WT_CHECK(WriteFileBytes(dll, ReadFileBytes(dll) + "planted"));
  const TreeSnapshot before = SnapshotTree(StagingFolder());
  const int stored = StoredPackageInfs();
  const std::wstring log = L"C:\\quiet-changed.log";
  const Run run = RunQuiet(changed + L"\\Vornell.exe", L"/quiet /log " + log, changed);
  WT_CHECK_EQ(run.code, 1620ul);
  WT_CHECK(TreeChanges(before, SnapshotTree(StagingFolder()), {}).empty());
  WT_CHECK_EQ(StoredPackageInfs(), stored);
  WT_CHECK(!FileExists(L"C:\\Program Files\\Orvane"));
  const std::vector<std::string> lines = ReadLog(log);
  int naming = 0;
  for (const std::string& line : lines) {
    if (line.find("not the one this program was made for") != std::string::npos &&
        line.find("RX730TP.dll: it has 259 bytes, the package's has 252") != std::string::npos) {
      ++naming;
    }
  }
  WT_CHECK_EQ(naming, 1);
}

// Entries of ours in the list of deletions at the next restart.
int OursPending() {
  std::vector<wchar_t> pending(1 << 16);
  DWORD bytes = static_cast<DWORD>(pending.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                   L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(), &bytes) != ERROR_SUCCESS) {
    return 0;
  }
  int ours = 0;
  // Pairs of a name and its new name, empty for a deletion: walk the whole value.
  const std::size_t count = bytes / sizeof(wchar_t);
  for (std::size_t at = 0, length = 0; at < count; at += length + 1) {
    length = wcsnlen(pending.data() + at, count - at);
    const std::wstring name(pending.data() + at, length);
    if (name.empty()) continue;
    Note("pending: " + Gbk(name));
    if (name.find(L"Orvane") != std::wstring::npos || name.find(L".vornell-removed-") != std::wstring::npos) ++ours;
  }
  return ours;
}

void DeleteQueue(const std::wstring& name) {
  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
  if (OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, &all)) {
    DeletePrinter(printer);
    ClosePrinter(printer);
  }
}

// The life cycle a deployment tool drives: install twice (one entry, one
// package in the store), remove with the entry's own command, remove again.
// Somebody's queue on the same driver keeps it.
void CheckLifecycle() {
  const std::wstring queue = PrinterQueueName();
  const std::wstring model = queue;  // the driver's name is the model's
  DeleteQueue(queue);
  WT_CHECK(AddQueue(queue, model));
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet", InstallFolder()).code, 0ul);
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet /log C:\\quiet-twice.log", InstallFolder()).code, 0ul);
  WT_CHECK_EQ(StoredPackageInfs(), 1);
  WT_CHECK(AppsEntryValue(L"DisplayVersion") == L"1.0.0.1");
  WT_CHECK(AppsEntryValue(L"DisplayName") == queue + L" \x6253\x5370\x673A\x9A71\x52A8");
  const std::wstring copy = AppsEntryValue(L"DisplayIcon");
  WT_CHECK(copy == L"C:\\Program Files\\Orvane\\Vornell\\Vornell.exe");
  WT_CHECK(AppsEntryValue(L"QuietUninstallString") == L"\"" + copy + L"\" /uninstall /quiet");
  WT_CHECK(FileExists(copy));

  // The copy run again (a repair): its package is the checked copy beside
  // it, checked where it is and not copied onto itself.
  WT_CHECK_EQ(RunQuiet(copy, L"/quiet /log C:\\quiet-repair.log", L"C:\\").code, 0ul);
  const std::vector<std::string> repair = ReadLog(L"C:\\quiet-repair.log");
  WT_CHECK(HasLine(repair, "HashFile(\".\\x64\\driver\\RX730TP.INF\")"));
  WT_CHECK(!HasLine(repair, "CopyVerifiedFile("));
  WT_CHECK(HasLine(repair, "the package is checked where it is, in C:\\Program Files\\Orvane\\Vornell\\x64\\driver\\"));

  // Somebody's own queue on the same driver: it and the driver stay.
  WT_CHECK(AddQueue(L"Office", model));
  WT_CHECK_EQ(RunQuiet(copy, L"/uninstall /quiet /log C:\\uninstall-shared.log", L"C:\\").code, 0ul);
  WT_CHECK(!QueueExists(queue));
  WT_CHECK(QueueExists(L"Office"));
  WT_CHECK(Contains(DriverNames(), model));
  WT_CHECK(AppsEntryValue(L"DisplayVersion").empty());
  DeleteQueue(L"Office");

  // Apps & features' quiet command, from the copy: everything goes; the
  // copy, running, at the next restart.
  WT_CHECK(AddQueue(queue, model));
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet", InstallFolder()).code, 0ul);
  const Run removal = RunQuiet(copy, L"/uninstall /quiet /log C:\\uninstall.log", L"C:\\");
  WT_CHECK_EQ(removal.code, 0ul);
  for (const std::string& line : ReadLog(L"C:\\uninstall.log")) Note("log: " + line);
  WT_CHECK(QueueNames().empty() || !QueueExists(queue));
  WT_CHECK(!Contains(DriverNames(), model));
  WT_CHECK_EQ(StoredPackageInfs(), 0);
  WT_CHECK(AppsEntryValue(L"DisplayVersion").empty());
  // The copy that ran goes at the restart under a name of its own.
  WT_CHECK(OursPending() > 0 || !FileExists(copy));

  // Installed again before that restart: nothing of ours is left for it,
  // so the restart cannot take the new copy.
  WT_CHECK(AddQueue(queue, model));
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet", InstallFolder()).code, 0ul);
  WT_CHECK_EQ(OursPending(), 0);
  WT_CHECK(FileExists(copy));

  // Nothing left: still a removal that worked, and the copy goes now.
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/uninstall /quiet /log C:\\uninstall-again.log", InstallFolder()).code, 0ul);
  for (const std::string& line : ReadLog(L"C:\\uninstall-again.log")) Note("log: " + line);
  WT_CHECK(!FileExists(copy));
}

// Wine's own window station is visible (else every Wine test would lose
// the wizard); one made here is not, and there the bare program installs
// as /quiet would, with no window, and the log says why.
void CheckUnseenWindowStation() {
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  WT_CHECK(GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags, &needed));
  WT_CHECK((flags.dwFlags & WSF_VISIBLE) != 0);
  const HWINSTA own = GetProcessWindowStation();
  const HWINSTA unseen = CreateWindowStationW(L"VornellUnseen", 0, WINSTA_ALL_ACCESS, nullptr);
  WT_CHECK(unseen != nullptr);
  if (unseen == nullptr) return;
  WT_CHECK(GetUserObjectInformationW(unseen, UOI_FLAGS, &flags, sizeof flags, &needed));
  Note("a new window station's flags: " + std::to_string(flags.dwFlags));
  WT_CHECK((flags.dwFlags & WSF_VISIBLE) == 0);
  // Its desktop, which the program is started on.
  WT_CHECK(SetProcessWindowStation(unseen));
  const HDESK desktop = CreateDesktopW(L"Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
  WT_CHECK(SetProcessWindowStation(own));
  WT_CHECK(desktop != nullptr);
  const Run run =
      RunQuiet(ProgramPath(), L"/log C:\\quiet-unseen.log", InstallFolder(), L"VornellUnseen\\Default");
  WT_CHECK_EQ(run.code, 0ul);
  WT_CHECK(!run.window);
  const std::vector<std::string> lines = ReadLog(L"C:\\quiet-unseen.log");
  WT_CHECK(HasLine(lines, "no person can see this process's windows"));
  WT_CHECK(HasLine(lines, "Vornell 1.0.0.1, unattended"));
  if (desktop != nullptr) CloseDesktop(desktop);
  CloseWindowStation(unseen);
}

// Apps & features' own command: a question, then the outcome.
void CheckUninstallBoxes() {
  WT_CHECK(AddQueue(PrinterQueueName(), PrinterQueueName()));
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet", InstallFolder()).code, 0ul);
  Program p;
  WT_CHECK(Start(p, ProgramPath(), InstallFolder(), L"/uninstall"));
  HWND box = WaitForMessageBox(p.pid(), nullptr, 15000);
  WT_CHECK(box != nullptr);
  if (box == nullptr) return;
  WT_CHECK_EQ(MessageBoxCaption(box), std::string("卸载"));
  WT_CHECK_EQ(MessageBoxText(box), std::string("确定要卸载 Orvane RX730TⅡ 打印机驱动吗？"));
  WT_CHECK(MessageBoxHasButton(box, IDYES) && MessageBoxHasButton(box, IDNO));
  // Painted whole before it is photographed.
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  SaveScreenshot(box, "uninstall-question");
  AnswerMessageBox(box, IDYES);
  HWND told = WaitForMessageBox(p.pid(), box, 30000);
  WT_CHECK(told != nullptr);
  if (told == nullptr) return;
  WT_CHECK_EQ(MessageBoxText(told), std::string("Orvane RX730TⅡ 打印机驱动已卸载。"));
  SaveScreenshot(told, "uninstall-done");
  AnswerMessageBox(told, IDOK);
  WT_CHECK_EQ(p.WaitExit(15000), 0ul);
}

// The wizard and the lock: a public mutex of the lock's old name, held,
// stops no unattended run; a wizard started after an event of that name was
// made still holds the lock, so an unattended run exits with 1618. The
// wizard logs to %TEMP%\Vornell.log, ending with its last page; a file a
// user planted there first, open to everyone, is not the one written.
void CheckWizardLockAndLog() {
  const wchar_t kOldName[] = L"Global\\Orvane.Vornell.Install";
  HANDLE mutex = CreateMutexW(nullptr, TRUE, kOldName);
  WT_CHECK(mutex != nullptr);
  WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet", InstallFolder()).code, 0ul);
  if (mutex != nullptr) CloseHandle(mutex);
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, kOldName);
  WT_CHECK(event != nullptr);

  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring log = std::wstring(temp) + L"Vornell.log";
  DeleteFileW(log.c_str());
  PSECURITY_DESCRIPTOR everyone = nullptr;
  WT_CHECK(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &everyone,
                                                                nullptr));
  SECURITY_ATTRIBUTES open{sizeof open, everyone, FALSE};
  HANDLE planted = CreateFileW(log.c_str(), GENERIC_WRITE, 0, &open, CREATE_NEW, 0, nullptr);
  WT_CHECK(planted != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(planted, "planted\r\n", 9, &written, nullptr);
  CloseHandle(planted);
  LocalFree(everyone);
  // Wine keeps permissions as Unix mode bits and reads them back as
  // SYSTEM, owner and Everyone: enough to tell a file open to everyone.
  const auto openToEveryone = [&] { return DaclOf(log).find(L";;;WD)") != std::wstring::npos; };
  WT_CHECK(openToEveryone());

  Program p;
  WT_CHECK(StartVornell(p));
  if (p.window != nullptr) {
    WT_CHECK(WaitForPage(p.window, WizardPage::kLicense, 10000));
    WT_CHECK_EQ(RunQuiet(ProgramPath(), L"/quiet", InstallFolder()).code, 1618ul);
    PostMessageW(p.window, WM_COMMAND, IDCANCEL, 0);
    WT_CHECK_EQ(p.WaitExit(10000), 0ul);
  }
  if (event != nullptr) CloseHandle(event);
  const std::vector<std::string> lines = ReadLog(log);
  WT_CHECK(!lines.empty() && lines.front().find("Vornell 1.0.0.1, wizard") != std::string::npos);
  WT_CHECK(!lines.empty() && lines.back().find("the wizard ended on the page: license") != std::string::npos);
  WT_CHECK(!DaclOf(log).empty());
  WT_CHECK(!openToEveryone());
}

}  // namespace

int wmain() {
  ProcessWatch watch;
  WT_CHECK(watch.Begin());
  CheckCommandLines();
  CheckIncompletePackage();
  CheckChangedPackage();
  CheckNoPrinter();
  CheckProgramFolderBeyondGbk();
  WT_CHECK(AttachPrinter(kSerial));
  CheckNoQueue();
  CheckInstall(watch);
  CheckUnseenWindowStation();
  CheckWizardLockAndLog();
  CheckLifecycle();
  CheckUninstallBoxes();
  return Finish();
}
