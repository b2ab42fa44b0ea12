#pragma once
// What every part of the system seam shares: the calling thread's last
// error, read right after a call as Windows keeps it, and the system's text
// for a code; and the error codes the installer's logic tells apart.
#include <cstdint>
#include <string>

namespace vornell {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorPathNotFound = 3;
constexpr std::uint32_t kErrorNoMoreFiles = 18;    // a folder walk is done
constexpr std::uint32_t kErrorSharingViolation = 32;  // another process holds the file
constexpr std::uint32_t kErrorLockViolation = 33;
constexpr std::uint32_t kErrorInsufficientBuffer = 122;
constexpr std::uint32_t kErrorAlreadyExists = 183;
constexpr std::uint32_t kErrorBadFileType = 222;  // not a file on disk (a pipe, a device, a link)
constexpr std::uint32_t kErrorNoMoreItems = 259;   // a device list is done
constexpr std::uint32_t kErrorRequiresInteractive = 1459;  // ERROR_REQUIRES_INTERACTIVE_WINDOWSTATION
constexpr std::uint32_t kErrorUnknownPrinterDriver = 1797;
constexpr std::uint32_t kErrorInvalidPrinterName = 1801;  // no such queue
constexpr std::uint32_t kErrorPrinterAlreadyExists = 1802;
constexpr std::uint32_t kErrorPrinterDriverInUse = 3001;
constexpr std::uint32_t kErrorNoSuchDevinst = 0xE000020B;
constexpr std::uint32_t kErrorDeviceInstallerNotReady = 0xE0000246;
constexpr std::uint32_t kErrorDeviceInstallBlocked = 0xE0000248;

// Shared by every interface of the seam (a virtual base), so that one
// object behind all of them keeps one last error per thread.
class SystemErrors {
 public:
  virtual ~SystemErrors() = default;
  // The error the calling thread's last call left.
  virtual std::uint32_t LastError() = 0;
  // The system's own text for an error code, for the log: GBK, in the
  // system's language, without its trailing line break; "Error N" when the
  // system has none. Leaves LastError() as it was.
  virtual std::string ErrorMessage(std::uint32_t code) = 0;
};

// The calling thread's last error whichever interface's call left it, for
// code that reads it after one of several.
SystemErrors& GetSystemErrors();

}  // namespace vornell
