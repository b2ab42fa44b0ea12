#pragma once
// The exit codes of the unattended mode: the values Windows Installer uses,
// which deployment tools already know how to read.
namespace vornell {

constexpr int kExitSuccess = 0;
constexpr int kExitRestartNeeded = 3010;       // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr int kExitUserCancelled = 1602;      // ERROR_INSTALL_USEREXIT
constexpr int kExitInstallFailed = 1603;       // ERROR_INSTALL_FAILURE
constexpr int kExitAnotherInstall = 1618;      // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kExitPackageIncomplete = 1619;   // ERROR_INSTALL_PACKAGE_OPEN_FAILED
constexpr int kExitPackageUntrusted = 1620;    // ERROR_INSTALL_PACKAGE_INVALID
constexpr int kExitPlatformUnsupported = 1633;  // ERROR_INSTALL_PLATFORM_UNSUPPORTED
constexpr int kExitBadCommandLine = 1639;      // ERROR_INVALID_COMMAND_LINE

// A run without a window ends itself with 1603 after this long.
constexpr unsigned kUnattendedRunLimitMs = 30u * 60u * 1000u;

}  // namespace vornell
