#pragma once
// The one record the wizard and the worker threads share. It has no lock:
// a worker reads only fields the dialog's thread finished writing before it
// started the worker, and writes only workerStatus, which the dialog's thread
// reads after the last worker has ended. Texts are GBK; lengths are bytes.
#include <array>
#include <cstdint>
#include <string>

#include "engine/package_manifest.h"
#include "platform/system_errors.h"

namespace vornell {

constexpr std::size_t kDriverFileCount = 8;
constexpr std::size_t kPrinterDriverDirectorySize = 264;
// The fetch is limited to 260 bytes, leaving room for "\3" and its zero.
constexpr std::uint32_t kPrinterDriverDirectoryFetchSize = 260;

// The wizard's steps, as `step` holds them. Steps 0, 6 and 8 show no page
// of their own.
enum class WizardStep : std::int32_t {
  kStart = 0,
  kLicense = 1,
  kLeaveLicense = 2,  // on to the probe; the retry page after a failed one
  kConnectionCheck = 3,
  kInstall = 4,
  kSuccess = 5,
  kFinish = 6,
  kFailure = 7,
  kLeaveAfterFailure = 8,
};

// The step before or after `step` in that order, as the buttons move.
constexpr WizardStep StepAfter(WizardStep step) {
  return static_cast<WizardStep>(static_cast<std::int32_t>(step) + 1);
}
constexpr WizardStep StepBefore(WizardStep step) {
  return static_cast<WizardStep>(static_cast<std::int32_t>(step) - 1);
}

struct InstallerState {
  // Strings are declared, and so constructed, in this order; the composed
  // names are built once from manufacturerName and modelName.
  std::string lineBreak = "\r\n";
  std::string driverSourceFolder;
  std::string usbMatchId;
  std::string modelName = "RX730TⅡ";
  std::string manufacturerName = "Orvane";
  std::string printerName = manufacturerName + " " + modelName;
  std::string driverModelName = manufacturerName + " " + modelName;
  std::string lptPrinterName = manufacturerName + " " + modelName + " LPT";
  std::string expectedPrinterName;
  std::string headerText = printerName;

  const char* hardwareId = "";
  std::array<const char*, kDriverFileCount> driverFiles{
      "", "", "", "UNIDRV.DLL", "UNIDRV.HLP", "UNIDRVUI.DLL", "UNIRES.DLL", "STDNAMES.GPD"};
  // The catalog the INF names; without it 64-bit Windows refuses the driver.
  const char* catalogFile = "";

  WizardStep step = WizardStep::kStart;
  std::uint8_t printerDetected = 0;
  std::int32_t connectionType = 0;
  std::int32_t connectionRetry = 0;
  std::int32_t workerStatus = 0;
  // The package this program installs; the built-in one unless a test gives its own.
  PackageManifest packageManifest;
  // Last: the fuzz tests fill what follows this buffer, to catch a read past its end.
  std::array<char, kPrinterDriverDirectorySize> printerDriverDirectory{};
};

// The process's one instance.
extern InstallerState installerState;

// workerStatus values the wizard reads as success.
constexpr bool IsInstallSuccess(std::int32_t status) { return status == 0 || status == kErrorPrinterAlreadyExists; }

}  // namespace vornell
