#include <cstring>
#include <vector>

#include "engine/engine.h"
#include "platform/gbk.h"
#include "platform/usb_devices.h"

namespace vornell {

namespace {

// The detail record: a 32-bit size field, then the zero-terminated device
// path at offset 4. The size field holds 8, the record's padded size on
// 64-bit Windows, which is not where the path starts.
constexpr std::size_t kDetailBufferSize = 1024;
constexpr std::size_t kDetailPathOffset = 4;
constexpr std::uint32_t kDetailSizeField = 8;

}  // namespace

bool UsbPathMatches(std::string_view devicePath, std::string_view matchId) {
  // Only the place right after "\\?\usb#" counts; the same text in the
  // serial number or behind a longer prefix is another device.
  const std::string_view piece = devicePath.size() > kUsbPathPrefixLength
                                     ? devicePath.substr(kUsbPathPrefixLength, kUsbMatchLength)
                                     : std::string_view();
  return NamesEqualIgnoreCase(piece, matchId);
}

UsbProbeResult ProbeUsbPrinter(std::string* devicePath) {
  UsbDevices& usb = GetUsbDevices();
  DeviceSet set = usb.GetUsbDeviceSet(kDigcfPresent | kDigcfDeviceInterface);
  if (set == nullptr) return UsbProbeResult::kRefused;

  std::vector<char> detail(kDetailBufferSize, '\0');
  std::memcpy(detail.data(), &kDetailSizeField, sizeof kDetailSizeField);
  char* const path = detail.data() + kDetailPathOffset;
  const std::size_t pathSize = kDetailBufferSize - kDetailPathOffset;

  UsbProbeResult result = UsbProbeResult::kAbsent;
  for (std::uint32_t index = 0;; ++index) {
    if (!usb.EnumUsbDeviceInterface(set, index)) {
      // Only "no more items" means the whole list was seen.
      if (usb.LastError() != kErrorNoMoreItems) result = UsbProbeResult::kFailed;
      break;
    }
    if (!usb.GetUsbDeviceInterfacePath(set, index, path, pathSize)) {
      // A device whose path does not fit says nothing about the others; a
      // printer enumerated after it must still be found. Any other failure
      // leaves this device unknown: it may be the printer.
      if (usb.LastError() == kErrorInsufficientBuffer) continue;
      result = UsbProbeResult::kFailed;
      break;
    }
    const std::string_view found(path, strnlen(path, pathSize));
    if (UsbPathMatches(found, installerState.usbMatchId)) {
      installerState.printerDetected = 1;
      if (devicePath != nullptr) devicePath->assign(found);
      result = UsbProbeResult::kFound;
      break;
    }
  }

  usb.DestroyDeviceSet(set);
  return result;
}

}  // namespace vornell
