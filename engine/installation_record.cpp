#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/services.h"

namespace vornell {

namespace {

// The bytes of the files `pattern` matches; 0 for what cannot be walked.
std::uint64_t BytesOf(const std::string& pattern) {
  Services& services = GetServices();
  FindData entry;
  FindHandle walk = services.FindFirst(pattern, entry);
  if (walk == nullptr) return 0;
  std::uint64_t bytes = 0;
  do {
    if ((entry.attributes & kFileAttributeDirectory) == 0) bytes += entry.size;
  } while (services.FindNext(walk, entry));
  services.FindEnd(walk);
  return bytes;
}

}  // namespace

bool RecordInstallation(const std::string& queue, const char* version) {
  const InstallerState& s = installerState;
  Services& services = GetServices();
  AppsEntry entry;
  // Removal runs from this copy: the entry must still work once the
  // download folder is gone.
  if (!services.InstallProgramCopy(entry.programCopy)) return false;
  // The store keeps an identical INF once; this names the one there, also
  // after an update that put it there itself. Without the name removal
  // leaves the package in the store, which harms nothing else.
  AddDriverToStore(PackageInfPath(s), &entry.storedInf);
  entry.displayName = s.printerName + " 打印机驱动";
  entry.displayVersion = version;
  entry.publisher = s.manufacturerName;
  entry.queueName = queue;
  entry.driverName = s.driverModelName;
  const std::uint64_t bytes = BytesOf(s.driverSourceFolder + "*.*") + BytesOf(entry.programCopy);
  entry.estimatedSizeKb = static_cast<std::uint32_t>((bytes + 1023) / 1024);
  return services.WriteAppsEntry(entry);
}

}  // namespace vornell
