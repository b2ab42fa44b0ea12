// The driver engine in this process against Wine's real system: the package
// check and the staging of the sample package into Wine's printer-driver
// directory (a read-only file, an existing file, a subfolder), the USB probe
// with a printer attached and detached, Wine's driver store taking the
// sample INF, the USB installation worker, and the registration wait against
// Wine's spooler, and a worker wait that fails ending only with its worker.
// The engine runs inside a real dialog made from template 102.
#include "tests/wine/driver.h"  // windows.h, before commctrl.h

#include <commctrl.h>

#include <functional>
#include <string>

#include "engine/engine.h"
#include "engine/state_text.h"
#include "framework/app.h"
#include "framework/dialog.h"
#include "tests/wine/probe_dll.h"
#include "platform/services.h"
#include "res/resource.h"
#include "engine/driver_directory.h"
#include "engine/installer_state.h"

using namespace wt;
using vornell::installerState;

namespace {

const wchar_t kSerial[] = L"RX7300099";
const std::wstring kPackage = L"C:\\vornell\\x64\\driver";
const char* const kPackageFiles[] = {"RX730TP.INF", "RX730TP.dll",  "RX730TP.gpd", "UNIDRV.DLL",
                                     "UNIDRV.HLP",  "UNIDRVUI.DLL", "UNIRES.DLL",  "STDNAMES.GPD", "RX730TP.cat"};

// The wizard's window, with the engine run from its initialisation.
class EngineDialog : public vornell::Dialog {
 public:
  explicit EngineDialog(std::function<void(vornell::Dialog&)> work)
      : Dialog(IDD_VORNELL_DIALOG), work_(std::move(work)) {}
  bool ran = false;

 protected:
  bool OnInitDialog() override {
    Dialog::OnInitDialog();
    work_(*this);
    ran = true;
    EndDialog(vornell::kIdOk);
    return true;
  }

 private:
  std::function<void(vornell::Dialog&)> work_;
};

void InDialog(const std::function<void(vornell::Dialog&)>& work) {
  EngineDialog dialog(work);
  WT_CHECK_EQ(static_cast<long long>(dialog.DoModal()), static_cast<long long>(vornell::kIdOk));
  WT_CHECK(dialog.ran);
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

std::wstring Staged() { return Wide(vornell::PrinterDriverDirectoryText(installerState)); }

// As the window's initialisation leaves the record, from the package's folder.
void InitialiseState() {
  bool isWow64 = true;
  vornell::GetServices().QueryIsWow64Process(isWow64);
  WT_CHECK(!isWow64);
  vornell::DescribeDriverPackage();
  WT_CHECK_EQ(installerState.driverSourceFolder, std::string(".\\x64\\driver\\"));
  WT_CHECK(SetCurrentDirectoryW(L"C:\\vornell"));
}

void CheckPackage() {
  WT_CHECK(vornell::CheckDriverPackage());
  // The folder is relative: from another current directory the package is missing.
  WT_CHECK(SetCurrentDirectoryW(L"C:\\"));
  WT_CHECK(!vornell::CheckDriverPackage());
  WT_CHECK(SetCurrentDirectoryW(L"C:\\vornell"));
  WT_CHECK(vornell::CheckDriverPackage());
}

void CheckDriverDirectory() {
  WT_CHECK(vornell::FetchPrinterDriverDirectory(installerState.printerDriverDirectory));
  const std::wstring expected = PrinterDriverDirectory() + L"\\3";
  WT_CHECK_EQ(Staged(), expected);
  Note("staging into " + Gbk(Staged()) + (FileExists(Staged()) ? " (there already)" : " (not there yet)"));
}

// Stages once; `position` receives the files the staging reported (the
// wizard steps its bar once for each).
bool StageOnce(int& position, ULONGLONG& tookMs) {
  position = 0;
  const ULONGLONG start = GetTickCount64();
  const bool staged = vornell::StageDriverFiles([&](const std::string&, vornell::StagedFile) { ++position; });
  tookMs = GetTickCount64() - start;
  return staged;
}

void CheckStaging() {
  const std::wstring readOnly = kPackage + L"\\RX730TP.gpd";
  WT_CHECK(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  WT_CHECK((Attributes(readOnly) & FILE_ATTRIBUTE_READONLY) != 0);
  // Wine's copy keeps the attribute, so the staging has something to clear.
  const std::wstring control = L"C:\\read-only-copy.gpd";
  WT_CHECK(CopyFileW(readOnly.c_str(), control.c_str(), FALSE));
  WT_CHECK((Attributes(control) & FILE_ATTRIBUTE_READONLY) != 0);
  SetFileAttributesW(control.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(control.c_str());

  int position = -1;
  ULONGLONG took = 0;
  WT_CHECK(StageOnce(position, took));
  WT_CHECK_EQ(position, 9);
  WT_CHECK(took >= 9 * 100 - 20);  // a pause per file
  Note("staging took " + std::to_string(took) + " ms");
  for (const char* name : kPackageFiles) {
    const std::wstring from = kPackage + L"\\" + Wide(name);
    const std::wstring to = Staged() + L"\\" + Wide(name);
    WT_CHECK(FileExists(to));
    const std::string bytes = ReadFileBytes(to);
    WT_CHECK(!bytes.empty());
    if (bytes != ReadFileBytes(from)) Note(std::string("staged copy differs: ") + name);
    WT_CHECK(bytes == ReadFileBytes(from));
  }
  const DWORD arrived = Attributes(Staged() + L"\\RX730TP.gpd");
  WT_CHECK(arrived != INVALID_FILE_ATTRIBUTES);
  WT_CHECK((arrived & FILE_ATTRIBUTE_READONLY) == 0);
  Note("the read-only file arrived with attributes " + std::to_string(arrived));

  // Again, over what is there now: an existing file is never replaced, still
  // a pause and a step; a subfolder of the package is passed over.
  const std::wstring kept = Staged() + L"\\UNIDRV.HLP";
  HANDLE file = CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr);
  WT_CHECK(file != INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "already here", 12, &written, nullptr);
  CloseHandle(file);
  const std::wstring sub = kPackage + L"\\extras";
  WT_CHECK(CreateDirectoryW(sub.c_str(), nullptr));
  WT_CHECK(CopyFileW((kPackage + L"\\UNIDRV.HLP").c_str(), (sub + L"\\note.txt").c_str(), FALSE));

  WT_CHECK(StageOnce(position, took));
  WT_CHECK_EQ(position, 9);
  WT_CHECK_EQ(ReadFileBytes(kept), std::string("already here"));
  WT_CHECK(!FileExists(Staged() + L"\\extras"));
  DeleteFileW((sub + L"\\note.txt").c_str());
  RemoveDirectoryW(sub.c_str());
  WT_CHECK(CopyFileW((kPackage + L"\\UNIDRV.HLP").c_str(), kept.c_str(), FALSE));
}

void Probe(std::uint8_t before, vornell::UsbProbeResult want, std::uint8_t expected, const char* when) {
  installerState.printerDetected = before;
  const vornell::UsbProbeResult result = vornell::ProbeUsbPrinter();
  if (result != want || installerState.printerDetected != expected) Note(std::string("probe ") + when);
  WT_CHECK(result == want);
  WT_CHECK_EQ(static_cast<int>(installerState.printerDetected), static_cast<int>(expected));
}

void CheckProbe() {
  using vornell::UsbProbeResult;
  Probe(0, UsbProbeResult::kAbsent, 0, "with no printer ever attached");
  WT_CHECK(AttachPrinter(kSerial));
  Probe(0, UsbProbeResult::kFound, 1, "with the printer attached");
  WT_CHECK(DetachPrinter(kSerial));
  Probe(0, UsbProbeResult::kAbsent, 0, "with the printer detached");
  Probe(1, UsbProbeResult::kAbsent, 1, "keeps an earlier 1");
}

void CheckDriverStore() {
  const std::string inf = vornell::PrinterDriverDirectoryText(installerState) + "\\RX730TP.INF";
  WT_CHECK_EQ(vornell::GetServices().SetupCopyOemInf(inf, vornell::kSpostPath, vornell::kSpCopyNewer), 1);
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring stored = std::wstring(windows) + L"\\inf\\RX730TP.INF";
  WT_CHECK(FileExists(stored));
  WT_CHECK(ReadFileBytes(stored) == ReadFileBytes(Wide(inf)));
}

std::int32_t RunWorker(vornell::WorkerProc worker, std::int32_t before, ULONGLONG& tookMs) {
  installerState.workerStatus = before;
  InDialog([&](vornell::Dialog& d) {
    vornell::WorkerSettings settings = vornell::kWizardWorkers;
    const ULONGLONG start = GetTickCount64();
    WT_CHECK(d.WaitForWorker(worker, &settings) == vornell::WorkerWait::kEnded);
    tookMs = GetTickCount64() - start;
  });
  return installerState.workerStatus;
}

void CheckUsbInstall() {
  WT_CHECK(AttachPrinter(kSerial));
  ULONGLONG took = 0;
  WT_CHECK_EQ(RunWorker(&vornell::UsbInstallThread, 12345, took), 0);
  WT_CHECK(DetachPrinter(kSerial));
}

void CheckPrinterWait() {
  vornell::InstallerState& s = installerState;
  s.expectedPrinterName = s.printerName;
  ULONGLONG took = 0;

  // A numbered copy is another printer: the full wait, the status untouched.
  WT_CHECK(AddQueue(Wide("Orvane RX730TⅡ (副本 1)")));
  WT_CHECK_EQ(RunWorker(&vornell::PrinterWaitThread, 4242, took), 4242);
  Note("the wait without its printer took " + std::to_string(took) + " ms");
  WT_CHECK(took >= 27000 - 100);

  WT_CHECK(AddQueue(Wide("Orvane RX730TⅡ")));
  WT_CHECK_EQ(RunWorker(&vornell::PrinterWaitThread, 4242, took), 0);
  Note("the wait with its printer took " + std::to_string(took) + " ms");
  WT_CHECK(took >= 7000 - 100 && took < 8000 + 1000);

  // Latin letters in another case are the same name.
  s.expectedPrinterName = "ORVANE rx730tⅡ";
  WT_CHECK_EQ(RunWorker(&vornell::PrinterWaitThread, 4242, took), 0);
  s.expectedPrinterName = s.printerName;
}

}  // namespace

// A wait that fails as a refused one does on Windows: the worker it was
// for may still run, and must have ended before the caller moves on.
DWORD WINAPI FailingWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD) {
  SetLastError(ERROR_INVALID_PARAMETER);
  return WAIT_FAILED;
}

volatile LONG g_workerDone = 0;
std::uint32_t SlowWorkerThread(void*) {
  Sleep(1000);
  InterlockedExchange(&g_workerDone, 1);
  return 0;
}

void CheckFailedWaitEndsWithItsWorker() {
  WT_CHECK(probe::PatchUser32Import(GetModuleHandleW(nullptr), "MsgWaitForMultipleObjects",
                                    reinterpret_cast<void*>(&FailingWait)));
  vornell::Dialog d(IDD_VORNELL_DIALOG);
  WT_CHECK(d.WaitForWorker(&SlowWorkerThread, nullptr) == vornell::WorkerWait::kWaitFailed);
  WT_CHECK_EQ(static_cast<long>(g_workerDone), 1L);
  WT_CHECK(probe::PatchUser32Import(GetModuleHandleW(nullptr), "MsgWaitForMultipleObjects",
                                    reinterpret_cast<void*>(&MsgWaitForMultipleObjects)));
}

int wmain() {
  vornell::InitCommonControls(0xFF);  // ICC_WIN95_CLASSES: the progress bar
  WT_CHECK(vornell::InitRichEdit());  // the template's license box
  InitialiseState();
  CheckPackage();
  CheckDriverDirectory();
  CheckStaging();
  CheckProbe();
  CheckDriverStore();
  CheckUsbInstall();
  CheckPrinterWait();
  CheckFailedWaitEndsWithItsWorker();
  return Finish();
}
