#include "engine/engine.h"
#include "platform/services.h"

namespace vornell {

void DescribeDriverPackage() {
  InstallerState& s = installerState;
  bool isWow64 = false;
  if (!GetServices().QueryIsWow64Process(isWow64)) isWow64 = false;
  // Relative: resolved against the current directory at the time of use.
  s.driverSourceFolder = isWow64 ? ".\\x86\\driver\\" : ".\\x64\\driver\\";

  s.usbMatchId = "vid_f0e1&pid_c20b";
  s.hardwareId = "USBPRINT\\OrvaneRX730TII87C8";
  s.driverFiles[0] = "RX730TP.INF";
  s.driverFiles[1] = "RX730TP.dll";
  s.driverFiles[2] = "RX730TP.gpd";
  s.connectionRetry = 0;
}

}  // namespace vornell
