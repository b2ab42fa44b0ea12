#include "engine/engine.h"
#include "engine/state_text.h"
#include "framework/dialog.h"
#include "platform/services.h"
#include "res/resource.h"

namespace vornell {

namespace {

constexpr std::uint32_t kPausePerEntryMs = 100;

bool IsSkipped(const FindData& entry) {
  // A subfolder cannot be copied like a file; the walk does not descend.
  return entry.name == "." || entry.name == ".." ||
         (entry.attributes & kFileAttributeDirectory) != 0;
}

}  // namespace

bool StageDriverFiles(Dialog& dialog) {
  Services& services = GetServices();
  const std::string destination = PrinterDriverDirectoryText(installerState);
  const std::string& source = installerState.driverSourceFolder;

  // Not examined: a folder that cannot be made shows as the first failed copy.
  if (!services.PathExists(destination)) services.CreateFolder(destination);

  FindData entry;
  FindHandle walk = services.FindFirst(source + "*.*", entry);
  // The package check ran first; nothing to stage is not a failure here.
  if (walk == nullptr) return true;

  bool staged = true;
  do {
    if (IsSkipped(entry)) continue;
    const std::string target = destination + "\\" + entry.name;
    // Never replace a file that is already there, even an older one.
    if (!services.PathExists(target)) {
      if (!services.CopyFileTo(source + entry.name, target, false)) {
        staged = false;
        break;
      }
      // A read-only copy would block a later update of the driver.
      const std::uint32_t attributes = services.GetAttributes(target);
      if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeReadOnly) != 0) {
        services.SetAttributes(target, kFileAttributeNormal);
      }
    }
    // Lets the user see the copy progress, one step per file.
    services.Sleep(kPausePerEntryMs);
    dialog.SendItemMessage(IDC_PROGRESS, kPbmStepIt, 0, 0);
  } while (services.FindNext(walk, entry));

  services.FindEnd(walk);
  return staged;
}

}  // namespace vornell
