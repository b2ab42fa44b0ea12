#pragma once
// The seam to the system, one interface per concern: USB devices, driver
// setup and the store, the spooler, files, the program's own installation
// and the process. Code reaches each through its own accessor
// (GetFiles(), GetSpooler(), ...) and sees only that concern. One object
// stands behind all of them: the real system (platform/win32) in the
// shipped program, a simulated machine (platform/simulated) in the native
// tests, so that a call and the last error read after it always meet the
// same thread's state, and a test's record of calls keeps their order.
//
// All texts are GBK byte strings. The shapes the installer's logic depends
// on stay visible: the two-call printer enumeration, the fixed-size device
// path buffer, "exactly 1" results, start results above 31, last-error codes.
#include "platform/driver_setup.h"
#include "platform/files.h"
#include "platform/own_installation.h"
#include "platform/process_calls.h"
#include "platform/spooler.h"
#include "platform/usb_devices.h"

namespace vornell {

class Services : public UsbDevices,
                 public DriverSetup,
                 public Spooler,
                 public Files,
                 public OwnInstallation,
                 public ProcessCalls {};

// The process's services: the real system in the shipped program; tests
// put a simulated machine in its place, and the log a decorator of either.
Services& GetServices();
void SetServices(Services* services);

}  // namespace vornell
