#include "engine/engine.h"
#include "platform/process_calls.h"

namespace vornell {

bool OnArm64Machine() {
  std::uint16_t machine = 0;
  return GetProcessCalls().QueryNativeMachine(machine) && machine == kMachineArm64;
}

void DescribeDriverPackage() {
  InstallerState& s = installerState;
  bool isWow64 = false;
  if (!GetProcessCalls().QueryIsWow64Process(isWow64)) isWow64 = false;
  // Relative to the program's folder, which start-up makes the current
  // directory; the checked copy replaces it before anything is installed.
  s.driverSourceFolder = isWow64 ? ".\\x86\\driver\\" : ".\\x64\\driver\\";

  s.usbMatchId = "vid_f0e1&pid_c20b";
  s.hardwareId = "USBPRINT\\OrvaneRX730TII87C8";
  s.driverFiles[0] = "RX730TP.INF";
  s.driverFiles[1] = "RX730TP.dll";
  s.driverFiles[2] = "RX730TP.gpd";
  s.catalogFile = BuiltInCatalog();
  s.connectionRetry = 0;
  // A test may have given its own.
  if (s.packageManifest.empty()) s.packageManifest = BuiltInManifest();
}

}  // namespace vornell
