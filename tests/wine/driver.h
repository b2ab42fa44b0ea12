#pragma once
// What a Wine test needs to drive the real Vornell.exe from another process:
// start it, find its window by caption, read and click its controls, answer
// its message boxes, take screenshots, attach a USB printer to Wine's device
// registry and add printer queues to Wine's spooler.
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "wizard/pages.h"

namespace wt {

// ---- checks: a failed check prints where and why and makes the run fail ----
void Fail(const char* file, int line, const std::string& what);
int Finish();  // prints "N passed, M failed" and returns the exit code
int Failures();
void Note(const std::string& line);

#define WT_CHECK(cond) \
  ((cond) ? ::wt::Pass() : ::wt::Fail(__FILE__, __LINE__, "CHECK(" #cond ")"))
#define WT_CHECK_EQ(a, b)                                                            \
  do {                                                                                 \
    const auto& wt_a_ = (a);                                                           \
    const auto& wt_b_ = (b);                                                           \
    if (wt_a_ == wt_b_) ::wt::Pass();                                                  \
    else ::wt::Fail(__FILE__, __LINE__,                                                \
                    std::string("CHECK_EQ(" #a ", " #b "): ") + ::wt::Show(wt_a_) + " vs " + \
                        ::wt::Show(wt_b_));                                            \
  } while (0)
void Pass();
std::string Show(const std::string& s);  // GBK bytes shown as UTF-8 and hex
std::string Show(const std::wstring& s);
std::string Show(const char* s);
std::string Show(long long v);
inline std::string Show(int v) { return Show(static_cast<long long>(v)); }
inline std::string Show(unsigned v) { return Show(static_cast<long long>(v)); }
inline std::string Show(long v) { return Show(static_cast<long long>(v)); }
inline std::string Show(unsigned long v) { return Show(static_cast<long long>(v)); }
inline std::string Show(unsigned long long v) { return Show(static_cast<long long>(v)); }
inline std::string Show(bool v) { return v ? "true" : "false"; }

// ---- text ----
std::wstring Wide(const std::string& gbk);  // GBK -> UTF-16
std::string Gbk(const std::wstring& wide);  // UTF-16 -> GBK
std::string Utf8(const std::wstring& wide);  // UTF-16 -> UTF-8
// Narrow literals of the tests are GBK too (the build's execution charset).
std::wstring FromUtf8(const char* utf8);

// ---- waiting ----
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 50);

// ---- the program under test ----
struct Program {
  PROCESS_INFORMATION pi{};
  HWND window = nullptr;
  ~Program();
  DWORD pid() const { return pi.dwProcessId; }
  bool Running() const;
  // Waits for the end of the process; its exit code or STILL_ACTIVE on time-out.
  DWORD WaitExit(DWORD timeoutMs);
  void Kill();
};

// Where the Wine test set-up put Vornell.exe and the sample package.
std::wstring InstallFolder();  // C:\vornell
std::wstring ProgramPath();    // C:\vornell\Vornell.exe
// Starts a program with the given current directory; false when it could not start.
bool Start(Program& program, const std::wstring& exe, const std::wstring& currentDir,
           const std::wstring& arguments = L"");
// The visible top-level window of that process with this caption.
HWND FindWindowOf(DWORD pid, const std::wstring& caption, DWORD timeoutMs);
// Starts Vornell.exe from C:\vornell and waits for its wizard window.
bool StartVornell(Program& program, DWORD timeoutMs = 30000);
// The DPI (HKCU\Control Panel\Desktop LogPixels) of every program started
// from now on: Wine reads it once, when a process starts. 0 removes the value.
// This thread then sees other windows in their own pixels, unscaled.
bool SetDpiForNewPrograms(DWORD dpi);
extern const wchar_t* const kWizardCaption;

// ---- controls of a window in another process ----
HWND Item(HWND dialog, int id);
std::wstring TextW(HWND window);
std::string TextGbk(HWND window);  // read back through UTF-16 and converted to GBK
std::string ItemText(HWND dialog, int id);
bool ItemVisible(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
bool ItemChecked(HWND dialog, int id);
// Posts a click (posted, not sent: the handler may sleep or open a box).
void PostClick(HWND dialog, int id);
// Posts a click only when the control is visible and enabled, as a person could.
bool ClickAsUser(HWND dialog, int id);
// Real input, as the system queues it for whatever window is under the
// mouse or holds the focus when it is taken out: a left click at the
// centre of the control, and one key pressed and released.
bool SendClickAt(HWND dialog, int id);
bool PressKey(WORD key);
// Waits until the dialog shows this status text in control 1018 and the page settled.
bool WaitForText(HWND dialog, int id, const std::string& gbk, DWORD timeoutMs);

// ---- message boxes (#32770 windows of the process other than the wizard) ----
HWND WaitForMessageBox(DWORD pid, HWND except, DWORD timeoutMs);
std::string MessageBoxText(HWND box);     // control 0xFFFF, GBK
std::string MessageBoxCaption(HWND box);  // GBK
bool MessageBoxHasButton(HWND box, int id);
void AnswerMessageBox(HWND box, int id);  // IDYES, IDNO, IDOK

// ---- screenshots ----
// Saves the window's area of the screen as <VORNELL_SHOTS>\<name>.bmp (the
// wrapper turns them into PNG files). Returns false when nothing was saved.
bool SaveScreenshot(HWND window, const std::string& name);
// The colour of a screen pixel.
COLORREF ScreenPixel(int x, int y);

// ---- the machine: Wine's device registry and spooler ----
extern const wchar_t* const kPrinterHardwarePrefix;  // USB\VID_F0E1&PID_C20B
// Registers a present USB device with the printer's IDs and its
// GUID_DEVINTERFACE_USB_DEVICE interface; false with a note when it failed.
bool AttachPrinter(const std::wstring& serial);
bool DetachPrinter(const std::wstring& serial);
// Adds a printer queue named `name` (a driver on wineps.drv, port FILE:).
bool AddQueue(const std::wstring& name, const std::wstring& driver = L"Vornell Test Driver");
bool QueueExists(const std::wstring& name);
std::vector<std::wstring> QueueNames();

// The system's printer-driver directory (GetPrinterDriverDirectoryW).
std::wstring PrinterDriverDirectory();
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);

}  // namespace wt

namespace wt {

// ---- reaching into the process under test ----
// The Windows build folder the test runs from (VORNELL_BUILD), empty when unset.
std::wstring BuildFolder();
// Loads a DLL into another process by a thread started there at LoadLibraryW
// (kernel32 sits at the same address in every Wine process); false with a
// note when that thread could not start or did not end in time.
bool LoadLibraryInto(HANDLE process, const std::wstring& dll, DWORD timeoutMs);
// A helper DLL of the Windows build, by its path under tests\wine
// ("high_contrast\high_contrast.dll"): from VORNELL_BUILD, or else from where
// this program lies in the build folder.
std::wstring HelperDll(const std::wstring& relative);
// Switches high contrast on or off in the running wizard, as the user would
// (tests/wine/high_contrast: the colours of High Contrast Black with yellow
// text, and the program's own query answered). False with a note when the
// switch was not made.
bool SwitchHighContrast(const Program& program, bool on);
// The colours it sets.
constexpr COLORREF kHighContrastWindow = RGB(0, 0, 0);
constexpr COLORREF kHighContrastText = RGB(255, 255, 0);
// A UTF-16 file of "key=value" lines, as the window probe writes it.
std::wstring ReadFileWide(const std::wstring& path);
std::wstring ValueOf(const std::wstring& lines, const std::wstring& key);

}  // namespace wt

namespace wt {

// ---- the wizard's route: start with Wine's debug output, pages, liveness ----

// Starts Vornell.exe from C:\vornell through a Unix shell, with WINEDEBUG set
// to `wineDebug` and the Unix standard error going to the file `logPath` (a
// DOS path). Wine writes its debug channels to the Unix standard error, which
// every program the wizard starts inherits from it; the Windows standard
// handles given to CreateProcess do not carry that output. The program is then
// found by its window and opened by its id for waiting.
bool StartVornellWithWineDebug(Program& program, const std::string& wineDebug,
                               const std::wstring& logPath, DWORD timeoutMs = 30000);

// The wizard's pages, as a step leaves them on screen.
using WizardPage = vornell::PageId;
const char* PageName(WizardPage page);
// "" when the dialog shows exactly that page (visible and hidden controls,
// status text, captions and enabled state of Next and Back, check boxes);
// otherwise each difference, one a line.
std::string PageDifferences(HWND dialog, WizardPage page);
// Waits until PageDifferences is "" (the page has settled).
bool WaitForPage(HWND dialog, WizardPage page, DWORD timeoutMs);

// The wizard's texts (GBK), as the pages show them.
extern const char* const kStatusRetry;
extern const char* const kStatusFound;
extern const char* const kStatusInstalling;
extern const char* const kStatusInstalled;
extern const char* const kStatusFailed;
// The queue name of the USB route, as the spooler lists it.
std::wstring PrinterQueueName();
// A text value of Vornell's Apps & features entry (64-bit view); empty when none.
std::wstring AppsEntryValue(const wchar_t* name);

// Whether the window's thread handled a message within timeoutMs (WM_NULL,
// SMTO_ABORTIFHUNG); tookMs receives how long the answer took.
bool Answers(HWND window, DWORD timeoutMs, DWORD* tookMs = nullptr);
// The progress bar's position; -1 when the control did not answer.
int ProgressPosition(HWND dialog, int id);
bool ProgressRange(HWND dialog, int id, int& low, int& high);
// The whole text of a window of another process, whatever its length.
std::wstring FullTextW(HWND window);
// EM_GETFIRSTVISIBLELINE of an edit control; -1 when it did not answer.
int FirstVisibleLine(HWND edit);
// Scrolls an edit control to its end and puts the caret there.
void ScrollToEnd(HWND edit);
// The files of the modules loaded in a process (needs PROCESS_QUERY_INFORMATION
// and PROCESS_VM_READ on it).
std::vector<std::wstring> ModulePaths(HANDLE process);

}  // namespace wt

namespace wt {

// ---- processes started behind the test's back ----
// Puts this process into a job whose completion port tells of every process
// that it or any descendant starts from then on (Vornell.exe, the
// rundll32.exe it starts, anything a planted program would be).
struct StartedProcess {
  DWORD pid = 0;
  std::wstring image;        // full path; empty when the process was gone too soon
  std::wstring commandLine;  // empty when it could not be read
  std::wstring currentDirectory;  // as the process started, with its final backslash
  DWORD startFlags = 0;  // STARTUPINFO's dwFlags as the process received them
  DWORD showWindow = 0;  // and its wShowWindow
};
class ProcessWatch {
 public:
  ProcessWatch() = default;
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;
  // Each new process is looked at on a thread of the watch the moment the
  // job tells of it, while it still runs.
  bool Begin();
  // The processes started since the last call, once none has been told of
  // for quietMs (at most maxMs in all).
  std::vector<StartedProcess> Collect(DWORD quietMs, DWORD maxMs);

  struct State;

 private:
  State* state_ = nullptr;
};

}  // namespace wt

namespace wt {

// ---- another process's memory, for messages whose parameters point to data ----
// Wine copies no data across processes for messages above WM_USER (rich-edit
// messages among them): the data must live in the receiving process.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, size_t size);
  ~RemoteMemory();
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  bool ok() const { return address_ != nullptr; }
  // The address in the other process, to pass as a message parameter.
  WPARAM at(size_t offset = 0) const { return reinterpret_cast<WPARAM>(static_cast<char*>(address_) + offset); }
  bool Write(const void* data, size_t size, size_t offset = 0);
  bool Read(void* data, size_t size, size_t offset = 0) const;

 private:
  HANDLE process_;
  void* address_ = nullptr;
  size_t size_ = 0;
};

// Sends a message and waits at most timeoutMs; false when the receiver did not answer.
bool SendWithin(HWND window, UINT message, WPARAM w, LPARAM l, LRESULT& result, DWORD timeoutMs = 5000);

// ---- pixels ----
// A window's client area as it is on the screen, one COLORREF per pixel, row by row.
struct ClientPixels {
  int width = 0, height = 0;
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  bool empty() const { return pixels.empty(); }
};
ClientPixels CaptureClient(HWND window);
// A bitmap drawn into a memory context, read back as COLORREFs.
ClientPixels ReadBitmapPixels(HBITMAP bitmap, int width, int height);
// A control's rectangle in its dialog's client coordinates.
RECT ItemClientRect(HWND dialog, int id);
std::string ShowColor(COLORREF c);

}  // namespace wt

namespace wt {

// ---- a hostile environment: long and GBK-named folders, the drive's files ----
// The \\?\ form of an absolute DOS path: file calls take it beyond MAX_PATH.
std::wstring LongPath(const std::wstring& path);
// Creates the folder and every missing one above it; true when it is a folder.
bool MakeFolders(const std::wstring& path);
// Removes a folder with everything in it (read-only files too).
bool RemoveTree(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// INVALID_FILE_ATTRIBUTES when there is no such file.
DWORD FileAttributesOf(const std::wstring& path);
// The names in a folder as the system lists them, without "." and "..".
std::vector<std::wstring> FolderNames(const std::wstring& folder);
// The sample package's folder (C:\vornell\x64\driver) and its file names.
std::wstring PackageFolder();
std::vector<std::wstring> PackageFileNames();
// Copies the sample package to <folder>\x64\driver, and Vornell.exe into
// <folder> when `withProgram`.
bool CopyPackageTo(const std::wstring& folder, bool withProgram);

// What a snapshot keeps of one file or folder: enough to see it written.
struct FileFacts {
  ULONGLONG size = 0;
  DWORD attributes = 0;
  ULONGLONG written = 0;  // last write time
  bool operator==(const FileFacts&) const = default;
};
// Every file and folder under `root`, by full path in capitals.
using TreeSnapshot = std::map<std::wstring, FileFacts>;
TreeSnapshot SnapshotTree(const std::wstring& root);
// Paths added ("+"), removed ("-") or changed ("*") between two snapshots,
// leaving out those under any of the `ignored` folders.
std::vector<std::wstring> TreeChanges(const TreeSnapshot& before, const TreeSnapshot& after,
                                      const std::vector<std::wstring>& ignored);

// Starts Vornell.exe as `exe` with the current directory `currentDir` and
// waits for its window; false with a note when either failed.
bool StartVornellAt(Program& program, const std::wstring& exe, const std::wstring& currentDir,
                    DWORD timeoutMs = 30000);
// Takes over a process started by someone else (for waiting and killing).
bool AdoptProcess(Program& program, DWORD pid);
// From the license page to the install step: "安装", the connection page,
// "继续". False with a note when a page did not come.
bool WalkToInstall(HWND dialog, DWORD timeoutMs = 30000);
// Clears both check boxes of the success page and clicks "完成", so that
// the wizard ends without starting its printer commands.
bool FinishQuietly(Program& program, DWORD timeoutMs = 30000);

}  // namespace wt

namespace wt {

// ---- steps and facts several tests share ----
// A duration in milliseconds as "12.3 s", for notes.
std::string ShowSeconds(ULONGLONG ms);
// From the license page to the install step's workers: WalkToInstall, the
// install page's status, then the bar at 9 (the package check and the eight
// staged files done). False with a note when a step did not come.
bool WalkToWorkers(HWND dialog, DWORD timeoutMs = 30000);
// Waits for the success page; when it does not come, notes how the page
// differs and what a message box of the program says.
bool WaitForSuccessPage(Program& program, DWORD timeoutMs = 90000);

// The folder the wizard stages the package into: the driver directory's "3".
std::wstring StagingFolder();
// Deletes the package's files from the staging folder, read-only ones too.
void ClearStagedPackage();
// Takes a new snapshot of C:\ and returns the paths changed since `before`
// outside the printer-driver directory and the wizard's log, each of them noted.
std::vector<std::wstring> WrittenOutsideDriverDirectory(const TreeSnapshot& before);

// The wizard's error boxes (GBK).
extern const char* const kBoxFilesMissing;
extern const char* const kBoxCopyFailed;
extern const char* const kBoxErrorCaption;

}  // namespace wt
