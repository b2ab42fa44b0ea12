#pragma once
// USB device interfaces (GUID_DEVINTERFACE_USB_DEVICE): the list of attached
// devices with their paths, and notice of arrivals to a window. The shape
// the detection depends on stays visible: a fixed-size path buffer.
#include <cstddef>
#include <cstdint>

#include "platform/system_errors.h"

namespace vornell {

constexpr std::uint32_t kDigcfPresent = 0x2;
constexpr std::uint32_t kDigcfDeviceInterface = 0x10;

// A device information set; null when the system refused it.
using DeviceSet = void*;

class UsbDevices : public virtual SystemErrors {
 public:
  virtual DeviceSet GetUsbDeviceSet(std::uint32_t flags) = 0;
  virtual bool EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) = 0;
  // Writes the interface's device path, zero-terminated, into `path`, which
  // holds `pathSize` bytes; false when the call fails or the path does not fit.
  virtual bool GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                         std::size_t pathSize) = 0;
  virtual void DestroyDeviceSet(DeviceSet set) = 0;
  // Device-interface notifications for GUID_DEVINTERFACE_USB_DEVICE to the
  // window; the registration, null when refused, is undone when the window ends.
  virtual void* RegisterUsbDeviceNotification(void* window) = 0;
  virtual void UnregisterUsbDeviceNotification(void* registration) = 0;
};

UsbDevices& GetUsbDevices();

}  // namespace vornell
