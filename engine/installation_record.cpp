#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/files.h"

namespace vornell {

namespace {

// The bytes of the files `pattern` matches; 0 for what cannot be walked.
std::uint64_t BytesOf(const std::string& pattern) {
  Files& files = GetFiles();
  FindData entry;
  FindHandle walk = files.FindFirst(pattern, entry);
  if (walk == nullptr) return 0;
  std::uint64_t bytes = 0;
  do {
    if ((entry.attributes & kFileAttributeDirectory) == 0) bytes += entry.size;
  } while (files.FindNext(walk, entry));
  files.FindEnd(walk);
  return bytes;
}

}  // namespace

InstallOwner ProgramFolderOwner() {
  OwnInstallation& own = GetOwnInstallation();
  InstallRecord record;
  if (own.ReadInstallRecord(record)) return record.owner;
  return own.LastError() == kErrorFileNotFound ? InstallOwner::kNone : InstallOwner::kWindowsInstaller;
}

bool RecordInstallation(const std::string& queue, const char* version) {
  const InstallerState& s = installerState;
  OwnInstallation& own = GetOwnInstallation();
  InstallRecord record;
  if (!own.ReadInstallRecord(record) && own.LastError() != kErrorFileNotFound) return false;
  // The store keeps an identical INF once; this names the one there, also
  // after an update that put it there itself. Without the name removal
  // leaves the package in the store, which harms nothing else.
  AddDriverToStore(PackageInfPath(s), &record.storedInf);
  record.queueName = queue;
  record.driverName = s.driverModelName;
  if (record.owner == InstallOwner::kWindowsInstaller) {
    // One entry: the MSI's. The program's own, from an install before the
    // MSI, goes; the MSI's files are the MSI's.
    if (!own.DeleteAppsEntry() && own.LastError() != kErrorFileNotFound) return false;
    return own.WriteInstallRecord(record);
  }
  record.owner = InstallOwner::kProgram;
  AppsEntry entry;
  // Removal runs from this copy: the entry must still work once the
  // download folder is gone.
  if (!own.InstallProgramCopy(entry.programCopy)) return false;
  entry.displayName = s.printerName + " 打印机驱动";
  entry.displayVersion = version;
  entry.publisher = s.manufacturerName;
  const std::uint64_t bytes = BytesOf(s.driverSourceFolder + "*.*") + BytesOf(entry.programCopy);
  entry.estimatedSizeKb = static_cast<std::uint32_t>((bytes + 1023) / 1024);
  // What removal needs before the entry that starts it.
  return own.WriteInstallRecord(record) && own.WriteAppsEntry(entry);
}

}  // namespace vornell
