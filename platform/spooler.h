#pragma once
// The print spooler: the driver directory, the printer list, the queues and
// their drivers, the default printer, and printui (through the system's
// rundll32) for what the spooler's own calls do not offer. The shape the
// wait depends on stays visible: the two-call printer enumeration.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/system_errors.h"

namespace vornell {

constexpr std::uint32_t kPrinterEnumLocal = 0x2;
constexpr std::uint32_t kPrinterEnumConnections = 0x4;

// How an awaited command ended.
struct CommandEnd {
  bool ended = false;         // false: still running when the wait was over
  std::uint32_t exitCode = 0;  // when it ended
  std::uint32_t tookMs = 0;
};

class Spooler : public virtual SystemErrors {
 public:
  // The printer-driver directory of the local machine and the running
  // environment, zero-terminated, in `buffer` of `bufferSize` bytes.
  virtual bool GetDriverDirectory(char* buffer, std::uint32_t bufferSize) = 0;
  // The first of the two enumeration calls (level 4: names from the
  // registry, no remote call; empty name, no buffer): how many bytes the
  // records need.
  virtual std::uint32_t EnumPrintersNeeded(std::uint32_t flags) = 0;
  // The second call: fills `buffer` (`bufferSize` bytes) and hands back the
  // printers' names in list order; false when the records no longer fit
  // (the list grew since the first call) or the call failed.
  virtual bool EnumPrintersFill(std::uint32_t flags, void* buffer, std::uint32_t bufferSize,
                                std::vector<std::string>& names) = 0;
  // Zero-filled allocation for the records (LocalAlloc with LMEM_ZEROINIT);
  // null on failure.
  virtual void* AllocZeroed(std::size_t bytes) = 0;
  virtual void Free(void* block) = 0;
  // The running account's default printer (GetDefaultPrinterW); false,
  // error 2, when it has none.
  virtual bool DefaultPrinter(std::string& name) = 0;
  // Whether the spooler has only marked the local queue `queue` for deletion
  // (jobs still in it), read from that queue alone; false (error 1801) when
  // there is no such queue.
  virtual bool QueueMarkedForDeletion(const std::string& queue, bool& marked) = 0;
  // The printer driver a queue uses; false (error 1801) when there is no such queue.
  virtual bool GetQueueDriver(const std::string& queue, std::string& driver) = 0;
  virtual bool DeleteQueue(const std::string& queue) = 0;
  // Deletes the driver of the running environment with its files that no
  // other driver uses; false with 3001 while a queue uses it, 1797 when
  // there is no such driver.
  virtual bool RemovePrinterDriver(const std::string& driver) = 0;
  // The local queues that use `driver`, by name; a queue the spooler has
  // only marked for deletion (jobs still in it) is not one.
  virtual bool QueuesUsingDriver(const std::string& driver, std::vector<std::string>& queues) = 0;
  // The file names (no folder) that the installed drivers of the running
  // environment use.
  virtual bool ListDriverFiles(std::vector<std::string>& files) = 0;
  // Starts the system's own rundll32.exe (by full path in the system
  // directory, hidden, not awaited, current directory the system directory)
  // with `arguments`, the text that follows "rundll32 " in the command line.
  // Above 31 when started; 0 to 31 when not (WinExec's values).
  virtual std::uint32_t StartRundll32(const std::string& arguments) = 0;
  // The same, then waits up to `timeoutMs` for the command to end; a command
  // still running then is left to run.
  virtual std::uint32_t RunRundll32(const std::string& arguments, std::uint32_t timeoutMs, CommandEnd& end) = 0;
};

Spooler& GetSpooler();

}  // namespace vornell
