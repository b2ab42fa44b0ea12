#pragma once
// What the simulated machine (simulated_machine.h) reports besides its
// class: the error codes it leaves, the calls it records, the failure a test
// injected, and a temporary folder for the files a test scripts.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_errors.h"

namespace vornell {

// Error codes the machine leaves for LastError(); the Win32 values, the
// shared ones where the installer's logic tells them apart.
namespace sim_error {
constexpr std::uint32_t kFileNotFound = kErrorFileNotFound;
constexpr std::uint32_t kPathNotFound = kErrorPathNotFound;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kInvalidHandle = 6;
constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kNotEnoughMemory = 8;
constexpr std::uint32_t kNoMoreFiles = kErrorNoMoreFiles;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kInsufficientBuffer = kErrorInsufficientBuffer;
constexpr std::uint32_t kAlreadyExists = kErrorAlreadyExists;
constexpr std::uint32_t kNoMoreItems = kErrorNoMoreItems;
constexpr std::uint32_t kInvalidUserBuffer = 1784;
constexpr std::uint32_t kProcNotFound = 127;
constexpr std::uint32_t kRpcServerUnavailable = 1722;
constexpr std::uint32_t kNoSuchDevinst = kErrorNoSuchDevinst;
constexpr std::uint32_t kDeviceInstallerNotReady = kErrorDeviceInstallerNotReady;
}  // namespace sim_error

// One spelling per file, for the tables the machine keeps by path.
std::string SimulatedFileKey(const std::filesystem::path& file);

// The call a test made fail (SimulatedMachine::FailCallAt) and the error it left.
struct InjectedFailure {
  std::string operation;
  std::string text;  // the call's first text argument (a path), if any
  std::uint32_t error = 0;
};

// One call that reached the machine. Texts are recorded as passed (GBK,
// backslashes kept); numbers in argument order. What each operation records:
//   QueryIsWow64Process,
//   QueryNativeMachine             -
//   RegisterUsbDeviceNotification  numbers {window}
//   UnregisterUsbDeviceNotification numbers {registration}
//   EnterProgramFolder             -
//   OnlyAdministratorsMayWrite     texts {path}
//   GetUsbDeviceSet                numbers {flags}
//   EnumUsbDeviceInterface         numbers {index}
//   GetUsbDeviceInterfacePath      numbers {index, pathSize}
//   DestroyDeviceSet               -
//   WaitNoPendingInstalls          numbers {timeoutMs}
//   SetNonInteractiveInstalls      -
//   UpdateDriver                   texts {hardwareId, infPath}, numbers {installFlags,
//                                  1 when the caller asked to be told of a restart}
//   SetupCopyOemInf                texts {infPath}, numbers {mediaType, copyStyle}
//   RemoveStoredDriver             texts {storedInf}, numbers {force}
//   GetQueueDriver, DeleteQueue,
//   QueueMarkedForDeletion         texts {queue}
//   RemovePrinterDriver,
//   QueuesUsingDriver              texts {driver}
//   ListDriverFiles, InstallProgramCopy, RemoveProgramCopy, ReadAppsEntry,
//   DeleteAppsEntry                -
//   RemoveFile                     texts {path}
//   WriteAppsEntry                 texts {programCopy}, numbers {estimatedSizeKb}
//   ReadInstallRecord,
//   DeleteInstallRecord            -
//   WriteInstallRecord             texts {queueName, driverName, storedInf}, numbers {owner}
//   LastError                      numbers {the value returned}
//   GetDriverDirectory             numbers {bufferSize}
//   EnumPrintersNeeded             numbers {flags, the byte count returned}
//   EnumPrintersFill               numbers {flags, bufferSize}
//   AllocZeroed                    numbers {bytes}
//   Free                           -
//   StartRundll32                  texts {arguments, the new process's current directory}
//   RunRundll32                    texts {arguments, current directory}, numbers {timeoutMs}
//   FullPath                       texts {path}
//   PathExists, CreateFolder,
//   GetAttributes                  texts {path}
//   CopyFileTo                     texts {from, to}, numbers {failIfExists}
//   SetAttributes                  texts {path}, numbers {attributes}
//   FindFirst                      texts {pattern}
//   FindNext, FindEnd              -
//   Sleep                          numbers {milliseconds}
//   RemoveFolder, HashFile         texts {path}
//   MoveFileTo, CopyVerifiedFile   texts {from, to}
//   ProgramFolder,
//   ClearPendingRemovals           -
//   StoredInfOrigin                texts {storedInf}
//   DefaultPrinter                 -
struct SimulatedCall {
  std::string operation;
  std::vector<std::string> texts;
  std::vector<std::uint64_t> numbers;
};

// A fresh, empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class ScopedTempFolder {
 public:
  ScopedTempFolder();
  ~ScopedTempFolder();
  ScopedTempFolder(const ScopedTempFolder&) = delete;
  ScopedTempFolder& operator=(const ScopedTempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  // Creates `relative` (and its parents) inside the folder; returns it.
  std::filesystem::path MakeFolder(const std::filesystem::path& relative) const;
  // Writes `content` to the file `relative` inside the folder; returns it.
  std::filesystem::path WriteFile(const std::filesystem::path& relative,
                                  std::string_view content) const;

 private:
  std::filesystem::path path_;
};

}  // namespace vornell
