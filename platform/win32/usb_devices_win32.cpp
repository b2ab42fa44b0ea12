// The real system behind the USB device calls: the device interfaces of
// the USB class, and notice of their arrival for a window.
#include <windows.h>
#include <dbt.h>
#include <setupapi.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <vector>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/win32_call.h"

namespace vornell {

namespace {

// GUID_DEVINTERFACE_USB_DEVICE
constexpr GUID kUsbDeviceInterface = {
    0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

}  // namespace

DeviceSet Win32Services::GetUsbDeviceSet(std::uint32_t flags) {
  HDEVINFO set = SetupDiGetClassDevsW(&kUsbDeviceInterface, nullptr, nullptr, flags);
  return set == INVALID_HANDLE_VALUE ? nullptr : static_cast<DeviceSet>(set);
}

bool Win32Services::EnumUsbDeviceInterface(DeviceSet set, std::uint32_t index) {
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  return SetupDiEnumDeviceInterfaces(static_cast<HDEVINFO>(set), nullptr, &kUsbDeviceInterface,
                                     index, &data) != FALSE;
}

bool Win32Services::GetUsbDeviceInterfacePath(DeviceSet set, std::uint32_t index, char* path,
                                              std::size_t pathSize) {
  CallError callError;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!SetupDiEnumDeviceInterfaces(static_cast<HDEVINFO>(set), nullptr, &kUsbDeviceInterface,
                                   index, &data)) {
    return false;
  }
  if (path == nullptr || pathSize == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  // A fixed detail buffer, no size query. It holds as many wide characters
  // as the caller's buffer holds bytes, so every path that fits the caller
  // in GBK fits here too and the caller's size is the limit that decides.
  constexpr std::size_t kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
  const std::size_t chars = std::min(pathSize, kMaxWideChars);
  std::vector<unsigned char> raw(
      std::max(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W), kPathOffset + chars * sizeof(WCHAR)), 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(raw.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  const BOOL got = SetupDiGetDeviceInterfaceDetailW(static_cast<HDEVINFO>(set), &data, detail,
                                                    static_cast<DWORD>(raw.size()), nullptr, nullptr);
  callError.Note();
  if (!got) return false;
  const std::size_t length = wcsnlen(detail->DevicePath, (raw.size() - kPathOffset) / sizeof(WCHAR));
  // Device paths are built from hardware IDs; a character without a GBK
  // form becomes '?' as the ANSI call would give it, and cannot match.
  const bool copied =
      CopyOut(LenientGbk(std::wstring_view(detail->DevicePath, length)), path, pathSize);
  if (!copied) callError.Note();  // "does not fit" replaces the call's own
  return copied;
}

void Win32Services::DestroyDeviceSet(DeviceSet set) {
  if (set != nullptr) SetupDiDestroyDeviceInfoList(static_cast<HDEVINFO>(set));
}

void* Win32Services::RegisterUsbDeviceNotification(void* window) {
  CallError callError;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = kUsbDeviceInterface;
  void* const registration =
      RegisterDeviceNotificationW(static_cast<HWND>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
  callError.Note();
  return registration;
}

void Win32Services::UnregisterUsbDeviceNotification(void* registration) {
  CallError callError;
  if (registration != nullptr) UnregisterDeviceNotification(static_cast<HDEVNOTIFY>(registration));
  callError.Note();
}

}  // namespace vornell
