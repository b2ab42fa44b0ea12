#include "platform/services.h"

namespace vornell {

namespace {
Services* g_services = nullptr;
}

Services* DefaultServices();  // the platform's own, defined by win32/ or simulated/

Services& GetServices() {
  if (g_services == nullptr) g_services = DefaultServices();
  return *g_services;
}

void SetServices(Services* services) { g_services = services; }

SystemErrors& GetSystemErrors() { return GetServices(); }
UsbDevices& GetUsbDevices() { return GetServices(); }
DriverSetup& GetDriverSetup() { return GetServices(); }
Spooler& GetSpooler() { return GetServices(); }
Files& GetFiles() { return GetServices(); }
OwnInstallation& GetOwnInstallation() { return GetServices(); }
ProcessCalls& GetProcessCalls() { return GetServices(); }

}  // namespace vornell
