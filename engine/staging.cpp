#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/files.h"
#include "platform/process_calls.h"

namespace vornell {

namespace {

bool IsSkipped(const FindData& entry) {
  // A subfolder cannot be copied like a file; the walk does not descend.
  // A file the package does not list is never the driver's.
  return entry.name == "." || entry.name == ".." || (entry.attributes & kFileAttributeDirectory) != 0 ||
         FindInManifest(installerState.packageManifest, entry.name) == nullptr;
}

}  // namespace

bool StageDriverFiles(const StagingProgress& progress, std::uint32_t pauseMs) {
  Files& files = GetFiles();
  ProcessCalls& process = GetProcessCalls();
  const std::string destination = PrinterDriverDirectoryText(installerState);
  const std::string& source = installerState.driverSourceFolder;

  // Not examined: a folder that cannot be made shows as the first failed copy.
  if (!files.PathExists(destination)) files.CreateFolder(destination);

  FindData entry;
  FindHandle walk = files.FindFirst(source + "*.*", entry);
  // The package check has just found its files: a walk that cannot start
  // is a failure, not an empty folder.
  if (walk == nullptr) return false;

  bool staged = true;
  do {
    if (IsSkipped(entry)) continue;
    const std::string target = destination + "\\" + entry.name;
    // Never replace a file that is already there, even an older one.
    StagedFile what = StagedFile::kKept;
    if (!files.PathExists(target)) {
      what = StagedFile::kCopied;
      if (!files.CopyFileTo(source + entry.name, target, false)) {
        staged = false;
        break;
      }
      // A read-only copy would block a later update of the driver.
      const std::uint32_t attributes = files.GetAttributes(target);
      if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeReadOnly) != 0) {
        files.SetAttributes(target, kFileAttributeNormal);
      }
    }
    // Lets the user see the copy progress, one step per file.
    if (pauseMs != 0) process.Sleep(pauseMs);
    if (progress) progress(entry.name, what);
  } while (files.FindNext(walk, entry));
  // Only "no more files" ends the walk; any other error leaves files unseen.
  if (staged && files.LastError() != kErrorNoMoreFiles) staged = false;

  files.FindEnd(walk);
  return staged;
}

}  // namespace vornell
