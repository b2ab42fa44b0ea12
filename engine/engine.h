#pragma once
// The driver installation engine: the package check, the file staging, the
// USB probe and the three worker threads. Everything here reaches the system
// through GetServices() and the window only through Dialog; results travel
// by return values and installerState.workerStatus.
#include <cstdint>
#include <string>
#include <string_view>

namespace vornell {

class Dialog;
struct InstallerState;

// The device path piece that carries the USB vendor and product text: it
// starts after "\\?\usb#" and is as long as that text.
constexpr std::size_t kUsbPathPrefixLength = 8;
constexpr std::size_t kUsbMatchLength = 17;

// Left by the parallel-port worker when its command started (or the start
// result was 0): only the registration wait, on finding the queue, can turn
// it into success. ERROR_PRINTER_NOT_FOUND, neither 0 nor 1802 nor 1..31.
constexpr std::int32_t kParallelQueueNotSeen = 3012;

// Every file of driverFiles exists under driverSourceFolder (a folder of the
// name counts). Stops at the first one missing.
bool CheckDriverPackage();

// Copies the package's files into printerDriverDirectory, one progress step
// on control 1008 and a 100 ms pause per file; existing files stay as they
// are. False when a copy failed (earlier copies stay).
bool StageDriverFiles(Dialog& dialog);

// Sets printerDetected to 1 when a present USB device interface carries
// usbMatchId; never clears it. Says so in a message box when the system
// refuses the device list.
void ProbeUsbPrinter(Dialog& dialog);

// Worker threads (framework WorkerProc). Each writes workerStatus and
// returns it as the exit code; the parameter is not used.
std::uint32_t UsbInstallThread(void* parameter);
std::uint32_t ParallelInstallThread(void* parameter);
std::uint32_t PrinterWaitThread(void* parameter);

// Pure helpers, kept apart so they can be tested and fuzzed alone.
bool UsbPathMatches(std::string_view devicePath, std::string_view matchId);
// The text after "rundll32 " of the parallel-port install command, naming
// the package's INF by `infPath`.
std::string BuildParallelInstallArguments(const InstallerState& state, const std::string& infPath);
// The package's INF as a full path: the command runs in the system
// directory, where the package's relative path names nothing. False when
// the path cannot be resolved or has no GBK form.
bool ResolvePackageInf(const InstallerState& state, std::string& infPath);

}  // namespace vornell
