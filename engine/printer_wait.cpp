#include <algorithm>
#include <vector>

#include "engine/engine.h"
#include "platform/gbk.h"
#include "platform/process_calls.h"
#include "platform/spooler.h"

namespace vornell {

namespace {

// Local queues only: listing the user's connections opens each one, and one
// to a print server that is down blocks a look until RPC gives up.
constexpr std::uint32_t kEnumFlags = kPrinterEnumLocal;
// Slack on top of the size the system asked for; the fill is told the size alone.
constexpr std::size_t kBufferSlack = 4;

// One look at the printer list; false also when the list could not be read.
bool ExpectedPrinterListed(Spooler& spooler) {
  const std::uint32_t needed = spooler.EnumPrintersNeeded(kEnumFlags);
  void* buffer = spooler.AllocZeroed(static_cast<std::size_t>(needed) + kBufferSlack);
  if (buffer == nullptr) return false;
  std::vector<std::string> names;
  bool listed = false;
  // Fails when a printer was added between the two calls; the next attempt
  // asks for the size again.
  std::string found;
  if (spooler.EnumPrintersFill(kEnumFlags, buffer, needed, names)) {
    for (const std::string& name : names) {
      if (NamesEqualIgnoreCase(name, installerState.expectedPrinterName)) {
        found = name;
        break;
      }
    }
  }
  spooler.Free(buffer);
  // A queue a removal left behind with jobs in it is on its way out, not
  // this install's: read by itself, it must not be marked for deletion.
  bool marked = false;
  if (!found.empty() && spooler.QueueMarkedForDeletion(found, marked) && !marked) listed = true;
  return listed;
}

}  // namespace

std::uint32_t PrinterWaitThread(void* parameter) {
  WorkerSettings wizard = kWizardWorkers;
  WorkerSettings& settings = parameter != nullptr ? *static_cast<WorkerSettings*>(parameter) : wizard;
  Spooler& spooler = GetSpooler();
  ProcessCalls& process = GetProcessCalls();
  settings.foundAtLook = -1;
  // The system creates the queue asynchronously after the install.
  if (settings.firstLookMs != 0) process.Sleep(settings.firstLookMs);
  // The wait lasts as long as its looks and pauses would, by the clock: a
  // look that takes long (a spooler that hangs) does not stretch it.
  const std::uint64_t limitMs = static_cast<std::uint64_t>(std::max(settings.looks, 0)) * settings.retryMs;
  const std::uint64_t start = process.TickCountMs();
  for (int look = 0; look < settings.looks; ++look) {
    if (ExpectedPrinterListed(spooler)) {
      settings.foundAtLook = look;
      installerState.workerStatus = 0;
      return 0;
    }
    process.Sleep(settings.retryMs);
    if (process.TickCountMs() - start >= limitMs) break;
  }
  // Not found: the installation worker's value stands.
  return static_cast<std::uint32_t>(installerState.workerStatus);
}

}  // namespace vornell
