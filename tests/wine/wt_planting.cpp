// Programs planted in the program's folder and in the current directory
// under the names a printer-setup command could reach by a searched bare
// name (Cmd.exe, rundll32.exe/.com/.bat/.cmd) are never run: neither when the
// services start the setup commands in this process, nor when the real
// Vornell.exe finishes its happy route with both boxes ticked. Each planted
// program leaves a mark file if it runs; the processes actually started are
// watched through a job, with their image, command line and current directory.
// DLLs planted in the program's folder (its current directory too) under the
// names of the DLLs the program loads that Windows does not keep among its
// KnownDLLs are never loaded by Vornell.exe either: Windows would take such a
// DLL from the program's folder for an import, or for a load by bare name.
// wine-test-env: WINEDEBUG=-all,trace+printui
#include <algorithm>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/services.h"
#include "tests/wine/driver.h"
#include "engine/installer_state.h"

using namespace wt;

namespace {

const std::wstring kProgramFolder = L"C:\\vornell";
const std::wstring kOtherFolder = L"C:\\planted-cwd";
const wchar_t kSerial[] = L"RX7300077";

std::wstring LowerW(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(towlower(c));
  return s;
}

// A folder's name in lower case without a final backslash: the system
// writes a process's current directory with it, or, early on, without.
std::wstring SameFolder(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return LowerW(path);
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT n = GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, n);
}

std::wstring Rundll32() { return SystemFolder() + L"\\rundll32.exe"; }

// ---- planting ----

bool WriteText(const std::wstring& path, const std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(file);
  return ok;
}

// `interpreter` is the command interpreter's name as planted there: file
// names do not differ by case, so one folder holds "Cmd.exe" and the other "cmd.exe".
void Plant(const std::wstring& folder, const std::wstring& interpreter) {
  const std::wstring mark = BuildFolder() + L"\\tests\\wine\\planted\\mark.exe";
  WT_CHECK(FileExists(mark));
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& name : {interpreter, std::wstring(L"rundll32.exe"), std::wstring(L"rundll32.com")}) {
    WT_CHECK(CopyFileW(mark.c_str(), (folder + L"\\" + name).c_str(), FALSE));
  }
  const std::string where = Gbk(folder);
  for (const char* ext : {"bat", "cmd"}) {
    const std::string line = "@echo " + where + ">>C:\\planted-ran-rundll32." + ext + ".txt\r\n";
    WT_CHECK(WriteText(folder + L"\\rundll32." + Wide(ext), line));
  }
}

// The files in C:\ named "<prefix>*.txt", where the planted programs and
// DLLs leave their marks.
std::vector<std::wstring> MarkFiles(const std::wstring& prefix) {
  std::vector<std::wstring> names;
  for (const std::wstring& name : FolderNames(L"C:")) {
    const std::wstring lower = LowerW(name);
    if (lower.starts_with(prefix) && lower.ends_with(L".txt")) names.push_back(name);
  }
  return names;
}

// The marks left so far: "<name>: <what the planted program wrote>".
std::vector<std::string> Marks() {
  std::vector<std::string> marks;
  for (const std::wstring& name : MarkFiles(L"planted-ran-")) {
    const std::wstring path = L"C:\\" + name;
    std::string text = ReadFileBytes(path);
    if (text.size() >= 2 && text[1] == '\0') text = Gbk(ReadFileWide(path));  // mark.exe writes UTF-16
    marks.push_back(Gbk(name) + ": " + text);
  }
  return marks;
}

void ClearMarks() {
  for (const std::wstring& name : MarkFiles(L"planted-ran-")) DeleteFileW((L"C:\\" + name).c_str());
}

bool NoMarks(const char* when) {
  const std::vector<std::string> marks = Marks();
  for (const std::string& m : marks) Note(std::string("planted program ran ") + when + ": " + m);
  return marks.empty();
}

bool HasMark(const std::string& name) {
  for (const std::string& m : Marks())
    if (m.compare(0, name.size() + 1, name + ":") == 0) return true;
  return false;
}

// ---- planted DLLs ----

const wchar_t* const kPlantedDlls[] = {L"COMCTL32.dll", L"WINSPOOL.DRV", L"riched20.dll", L"newdev.dll"};
const wchar_t kVornellOverrides[] = L"Software\\Wine\\AppDefaults\\Vornell.exe\\DllOverrides";

// Wine prefers its own DLLs where Windows takes one from the program's folder
// first. Asked of Wine for Vornell.exe alone (by its file name), so this
// program and the commands the wizard starts load theirs as usual. Wine 8
// reads WINEDLLOVERRIDES from the Unix environment only, which a Windows
// environment block does not reach.
bool LoadNativeFirstInVornell(bool on) {
  if (!on) return RegDeleteTreeW(HKEY_CURRENT_USER, kVornellOverrides) == ERROR_SUCCESS;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kVornellOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const wchar_t order[] = L"native,builtin";
  bool ok = true;
  for (const wchar_t* name : {L"comctl32", L"winspool.drv", L"riched20", L"newdev"}) {
    ok = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order) ==
             ERROR_SUCCESS && ok;
  }
  RegCloseKey(key);
  return ok;
}

void PlantDlls(const std::wstring& folder) {
  const std::wstring dll = BuildFolder() + L"\\tests\\wine\\planted\\mark_dll.dll";
  WT_CHECK(FileExists(dll));
  for (const wchar_t* name : kPlantedDlls) {
    WT_CHECK(CopyFileW(dll.c_str(), (folder + L"\\" + name).c_str(), FALSE));
  }
}

// Each load of a planted DLL, as "<DLL loaded> | <program that loaded it>".
std::vector<std::wstring> DllLoads() {
  std::vector<std::wstring> loads;
  for (const std::wstring& name : MarkFiles(L"planted-dll-")) {
    const std::wstring text = ReadFileWide(L"C:\\" + name);
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find(L"\r\n", start);
      if (end == std::wstring::npos) end = text.size();
      if (end > start) loads.push_back(text.substr(start, end - start));
      start = end + 2;
    }
  }
  return loads;
}

// Only loads by Vornell.exe count: Wine's own DLLs load others that Windows
// would not, and the processes the wizard starts run elsewhere.
bool NoDllLoadsByProgram() {
  int byProgram = 0;
  for (const std::wstring& load : DllLoads()) {
    const size_t bar = load.rfind(L" | ");
    const bool byVornell = bar != std::wstring::npos && LowerW(load.substr(bar + 3)) == LowerW(ProgramPath());
    Note(std::string(byVornell ? "Vornell.exe loaded a planted DLL: " : "another program loaded a planted DLL: ") +
         Gbk(load));
    byProgram += byVornell;
  }
  return byProgram == 0;
}

// ---- what was started ----

void ShowStarted(const std::vector<StartedProcess>& started) {
  for (const StartedProcess& p : started)
    Note("  started " + Gbk(p.image) + " in " + Gbk(p.currentDirectory) + ": " + Gbk(p.commandLine));
}

bool InPlantedFolder(const StartedProcess& p) {
  const std::wstring image = LowerW(p.image);
  return image.rfind(LowerW(kOtherFolder) + L"\\", 0) == 0 ||
         (image.rfind(LowerW(kProgramFolder) + L"\\", 0) == 0 && image != LowerW(ProgramPath()));
}

// Each expected command was started once, as the system's rundll32.exe by
// full path, hidden, in the system directory; nothing else was started. A
// process that ended before the watch could open it says nothing either way
// (the marks still tell whether a planted program ran); it may stand in for
// one expected command, never for more than it is.
void CheckStarted(const std::vector<StartedProcess>& started, const std::vector<std::string>& arguments) {
  ShowStarted(started);
  WT_CHECK_EQ(started.size(), arguments.size());
  int unread = 0;
  for (const StartedProcess& p : started) {
    if (p.image.empty()) {
      ++unread;
      Note("a started process ended before the watch could read it");
      continue;
    }
    WT_CHECK(!InPlantedFolder(p));
    WT_CHECK_EQ(LowerW(p.image), LowerW(Rundll32()));
    WT_CHECK_EQ(SameFolder(p.currentDirectory), SameFolder(SystemFolder()));
    // Hidden: no window comes up over the wizard.
    WT_CHECK((p.startFlags & STARTF_USESHOWWINDOW) != 0);
    WT_CHECK_EQ(p.showWindow, static_cast<DWORD>(SW_HIDE));
  }
  for (const std::string& args : arguments) {
    const std::wstring line = L"\"" + Rundll32() + L"\" " + Wide(args);
    const auto count = std::count_if(started.begin(), started.end(), [&](const StartedProcess& p) {
      return p.commandLine == line;
    });
    if (count == 0 && unread > 0) {
      --unread;
      continue;
    }
    if (count != 1) Note("expected once: " + Gbk(line));
    WT_CHECK_EQ(count, 1);
  }
}

// ---- the marks work, and a searched bare name would find them ----

void CheckControls(ProcessWatch& watch) {
  watch.Collect(200, 2000);
  Program direct;
  WT_CHECK(Start(direct, kOtherFolder + L"\\rundll32.com", kOtherFolder));
  WT_CHECK_EQ(direct.WaitExit(10000), 0u);
  WT_CHECK(HasMark("planted-ran-rundll32.com.txt"));
  // The watch sees what it is asked about: this one was started without a show state.
  const std::vector<StartedProcess> seen = watch.Collect(500, 5000);
  WT_CHECK_EQ(seen.size(), 1u);
  if (seen.size() == 1) {
    WT_CHECK_EQ(LowerW(seen[0].image), LowerW(kOtherFolder + L"\\rundll32.com"));
    WT_CHECK_EQ(SameFolder(seen[0].currentDirectory), SameFolder(kOtherFolder));
    WT_CHECK_EQ(seen[0].startFlags & STARTF_USESHOWWINDOW, 0u);
  }

  Program script;
  WT_CHECK(Start(script, SystemFolder() + L"\\cmd.exe", kOtherFolder, L"/c " + kOtherFolder + L"\\rundll32.cmd"));
  WT_CHECK_EQ(script.WaitExit(10000), 0u);
  WT_CHECK(HasMark("planted-ran-rundll32.cmd.txt"));

  ClearMarks();

  // The command line as it was written before: both names searched, the
  // current directory among the places searched.
  SetCurrentDirectoryW(kOtherFolder.c_str());
  const UINT old = WinExec("Cmd.exe /C rundll32 printui.dll,PrintUIEntry /y /n \"Orvane RX730T\xa2\xf2\"", SW_HIDE);
  WT_CHECK(old > 31);
  const bool ranPlanted = WaitUntil([] { return !Marks().empty(); }, 10000);
  Sleep(500);
  for (const std::string& m : Marks())
    Note("a bare \"Cmd.exe /C rundll32 ...\" started in " + Gbk(kOtherFolder) + " ran " + m);
  WT_CHECK(ranPlanted);
  SetCurrentDirectoryW(L"C:\\");
  Sleep(500);
  watch.Collect(500, 5000);
  ClearMarks();
  WT_CHECK(Marks().empty());
}

// ---- (a) the services, in this process ----

void CheckServicesStart(ProcessWatch& watch, const std::wstring& currentDir) {
  Note("setup commands started by the services with current directory " + Gbk(currentDir));
  WT_CHECK(SetCurrentDirectoryW(currentDir.c_str()));
  vornell::InstallerState& s = vornell::installerState;
  s.driverSourceFolder = ".\\x64\\driver\\";
  s.driverFiles[0] = "RX730TP.INF";
  std::string inf;
  WT_CHECK(vornell::ResolvePackageInf(s, inf));
  const std::vector<std::string> arguments = {
      "printui.dll,PrintUIEntry /y /n \"" + s.printerName + "\"",
      "printui.dll,PrintUIEntry /k /n \"" + s.printerName + "\"",
      vornell::BuildParallelInstallArguments(s, inf),
  };
  watch.Collect(200, 2000);
  // A rundll32 that fails at once (the parallel-port one here) can be gone
  // before the watch opens it, and then nothing can be said of it: start the
  // commands again until every process was seen, three times at most.
  std::vector<StartedProcess> started;
  for (int attempt = 1; attempt <= 3; ++attempt) {
    started.clear();
    for (const std::string& args : arguments) {
      const std::uint32_t result = vornell::GetServices().StartRundll32(args);
      if (result <= 31) Note("StartRundll32 returned " + std::to_string(result));
      WT_CHECK(result > 31);
      for (StartedProcess& p : watch.Collect(500, 5000)) started.push_back(std::move(p));
    }
    for (StartedProcess& p : watch.Collect(1500, 20000)) started.push_back(std::move(p));
    const bool allSeen = std::all_of(started.begin(), started.end(),
                                     [](const StartedProcess& p) { return !p.image.empty(); });
    if (allSeen) break;
    Note("a process ended before the watch could read it (attempt " + std::to_string(attempt) + ")");
  }
  CheckStarted(started, arguments);
  SetCurrentDirectoryW(L"C:\\");
  WT_CHECK(NoMarks("after the services' starts"));

  // rundll32 runs in the system directory: the INF the parallel-port command
  // names, resolved there, must be the package's.
  for (const StartedProcess& p : started) {
    const size_t at = p.commandLine.find(L" /f \"");
    if (p.commandLine.find(L"/if ") == std::wstring::npos || at == std::wstring::npos) continue;
    const size_t from = at + 5;
    const std::wstring named = p.commandLine.substr(from, p.commandLine.find(L'"', from) - from);
    const bool relative = named.size() < 3 || named[1] != L':';
    const std::wstring seen = relative ? SameFolder(p.currentDirectory) + L"\\" + named : named;
    Note("the parallel-port setup opens " + Gbk(seen));
    WT_CHECK(FileExists(seen));
    WT_CHECK_EQ(LowerW(seen), LowerW(currentDir + L"\\x64\\driver\\RX730TP.INF"));
  }
}

// ---- (b) the real Vornell.exe ----

bool WaitForStatus(HWND w, const char* gbk, DWORD timeoutMs) {
  const bool ok = WaitForText(w, 1018, gbk, timeoutMs);
  if (!ok) Note(std::string("the status line did not become ") + gbk + ", it reads " + ItemText(w, 1018));
  return ok;
}

void CheckWizardFinish(ProcessWatch& watch) {
  WT_CHECK(AttachPrinter(kSerial));
  watch.Collect(200, 2000);
  Program p;
  WT_CHECK(LoadNativeFirstInVornell(true));
  // A program that cannot start, or dies on the way, fails the walk.
  WT_CHECK(StartVornell(p));
  if (p.window == nullptr) {
    WT_CHECK(NoDllLoadsByProgram());
    LoadNativeFirstInVornell(false);
    return;
  }
  const HWND w = p.window;
  WT_CHECK(WaitUntil([&] { return ItemVisible(w, 1022) && ItemText(w, 1001) == "安装"; }, 10000));
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForStatus(w, "点击 “ 继续 ” 进行打印机驱动安装", 30000));
  WT_CHECK(WaitUntil([&] { return ItemEnabled(w, 1001); }, 10000));
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(WaitForStatus(w, "正在安装打印机驱动……", 30000));
  WT_CHECK(AddQueue(Wide("Orvane RX730TⅡ")));
  WT_CHECK(WaitForStatus(w, "打印机驱动安装成功！", 120000));
  WT_CHECK(WaitUntil([&] { return ItemEnabled(w, 1001) && ItemText(w, 1001) == "完成"; }, 10000));
  WT_CHECK(ItemVisible(w, 1019) && ItemChecked(w, 1019));
  WT_CHECK(ItemVisible(w, 1020) && ItemChecked(w, 1020));
  Sleep(300);
  SaveScreenshot(w, "planting-success");
  WT_CHECK(ClickAsUser(w, 1001));
  WT_CHECK(p.WaitExit(30000) != STILL_ACTIVE);

  std::vector<StartedProcess> started = watch.Collect(3000, 20000);
  // Vornell.exe itself was started by the test; the rest are its doing.
  const auto self = std::find_if(started.begin(), started.end(),
                                 [&](const StartedProcess& s) { return s.pid == p.pid(); });
  WT_CHECK(self != started.end());
  if (self != started.end()) {
    WT_CHECK_EQ(SameFolder(self->currentDirectory), SameFolder(kProgramFolder));
    started.erase(self);
  }
  const std::string queue = "\"Orvane RX730TⅡ\"";
  CheckStarted(started, {"printui.dll,PrintUIEntry /y /n " + queue, "printui.dll,PrintUIEntry /k /n " + queue});
  WT_CHECK(NoMarks("after the wizard's finish"));
  WT_CHECK(NoDllLoadsByProgram());
  WT_CHECK(LoadNativeFirstInVornell(false));
}

}  // namespace

int wmain() {
  ProcessWatch watch;
  WT_CHECK(watch.Begin());
  ClearMarks();
  Plant(kProgramFolder, L"Cmd.exe");
  Plant(kOtherFolder, L"cmd.exe");
  CheckControls(watch);

  // The package beside the planted programs too, so that the parallel-port
  // command has an INF to find from either folder.
  WT_CHECK(CopyPackageTo(kOtherFolder, false));
  CheckServicesStart(watch, kOtherFolder);
  CheckServicesStart(watch, kProgramFolder);
  // Only now, with this program's current directory back out of the planted folders.
  PlantDlls(kProgramFolder);
  CheckWizardFinish(watch);
  WT_CHECK(NoMarks("at the end"));
  return Finish();
}
