#pragma once
// What a Wine test needs to drive the real Vornell.exe from another process:
// start it, find its window by caption, read and click its controls, answer
// its message boxes, take screenshots, attach a USB printer to Wine's device
// registry and add printer queues to Wine's spooler.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

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
bool AddQueue(const std::wstring& name);
bool QueueExists(const std::wstring& name);
std::vector<std::wstring> QueueNames();

// The system's printer-driver directory (GetPrinterDriverDirectoryW).
std::wstring PrinterDriverDirectory();
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);

}  // namespace wt
