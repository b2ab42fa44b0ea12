// The package an install uses: copied from beside the program into a folder
// only administrators can write, each file hashed as it is read and checked
// against the manifest built into the program. Nothing a standard user
// could change between the check and the use reaches the driver folder.
#include <algorithm>

#include "engine/engine.h"
#include "platform/files.h"
#include "platform/gbk.h"
#include "platform/own_installation.h"
#include "platform/process_calls.h"

namespace vornell {

namespace {

// A file is written beside its final name first, so that a failed run
// leaves an earlier install's copy as it was.
constexpr char kNewSuffix[] = ".vornell-new";

bool IsNotFound(std::uint32_t error) { return error == kErrorFileNotFound || error == kErrorPathNotFound; }

class PackageCopier {
 public:
  PackageCopier(const PackageManifest& manifest, const PackageNote& note)
      : manifest_(manifest), note_(note), files_(GetFiles()), own_(GetOwnInstallation()), process_(GetProcessCalls()) {}

  PackageCopyResult Run();

 private:
  PackageCopyResult Fail(PackageCopyOutcome outcome, std::string file, std::string what) {
    PackageCopyResult result;
    result.outcome = outcome;
    result.file = std::move(file);
    result.what = std::move(what);
    result.error = error_;
    result.createdFolders = created_;
    result.copyFolder = copyFolder_;
    result.packageFolder = installerState.driverSourceFolder;
    for (const std::string& temporary : written_) {
      bool atRestart = false;
      files_.RemoveFile(temporary, atRestart);
    }
    DiscardPackageCopy(result);
    return result;
  }
  void Say(const std::string& line) {
    if (note_) note_(line);
  }
  // Each folder on the way is a real folder that only administrators may
  // write: one a user made (or turned into a link) would let them swap the
  // package after it was checked.
  bool PrepareFolder(const std::string& folder, bool mayCreate, std::string& why);
  // Reads one file whole, retrying a little while another process (a virus
  // scanner) holds it.
  bool Read(const std::string& from, const std::string& to, FileDigest& digest);
  // Names in `folder` that the manifest lacks.
  std::vector<std::string> Strangers(const std::string& folder);

  const PackageManifest& manifest_;
  const PackageNote& note_;
  Files& files_;
  OwnInstallation& own_;
  ProcessCalls& process_;
  std::uint32_t error_ = 0;
  std::string copyFolder_;
  std::vector<std::string> created_;
  std::vector<std::string> written_;
};

bool PackageCopier::PrepareFolder(const std::string& folder, bool mayCreate, std::string& why) {
  const std::uint32_t attributes = files_.GetAttributes(folder);
  if (attributes == kInvalidFileAttributes) {
    error_ = files_.LastError();
    if (!IsNotFound(error_)) {
      why = "its attributes could not be read";
      return false;
    }
    if (!mayCreate) {
      why = "it is missing, and Windows Installer owns the program folder: repair the MSI";
      return false;
    }
    // New folders inherit Program Files' permissions.
    if (!files_.CreateFolder(folder)) {
      error_ = files_.LastError();
      why = "it could not be made";
      return false;
    }
    created_.push_back(folder);
    return true;
  }
  if ((attributes & kFileAttributeDirectory) == 0 || (attributes & kFileAttributeReparsePoint) != 0) {
    error_ = 0;
    why = "it is a link, a junction or a file, not a folder; it is left as it is";
    return false;
  }
  std::string reason;
  if (!files_.OnlyAdministratorsMayWrite(folder, reason)) {
    error_ = files_.LastError();
    why = "not only administrators may write it: " + reason;
    return false;
  }
  return true;
}

bool PackageCopier::Read(const std::string& from, const std::string& to, FileDigest& digest) {
  for (int attempt = 1;; ++attempt) {
    const bool read = to.empty() ? files_.HashFile(from, digest) : files_.CopyVerifiedFile(from, to, digest);
    if (read) return true;
    error_ = files_.LastError();
    if ((error_ != kErrorSharingViolation && error_ != kErrorLockViolation) || attempt == kHeldFileTries) return false;
    process_.Sleep(kHeldFileRetryMs);
  }
}

std::vector<std::string> PackageCopier::Strangers(const std::string& folder) {
  std::vector<std::string> names;
  FindData entry;
  FindHandle walk = files_.FindFirst(folder + "*.*", entry);
  if (walk == nullptr) return names;
  do {
    if ((entry.attributes & kFileAttributeDirectory) != 0) continue;
    if (FindInManifest(manifest_, entry.name) == nullptr) names.push_back(entry.name);
  } while (files_.FindNext(walk, entry));
  files_.FindEnd(walk);
  return names;
}

PackageCopyResult PackageCopier::Run() {
  InstallerState& s = installerState;
  std::string programFolder;
  if (!own_.ProgramFolder(programFolder)) {
    error_ = own_.LastError();
    return Fail(PackageCopyOutcome::kFailed, "", "the program folder under Program Files is not known");
  }
  const std::size_t slash = programFolder.rfind('\\');
  copyFolder_ = PackageCopyFolder(programFolder);
  const std::string target = copyFolder_ + "\\";
  const std::string parents[] = {programFolder.substr(0, slash == std::string::npos ? 0 : slash), programFolder,
                                 copyFolder_.substr(0, copyFolder_.rfind('\\')), copyFolder_};
  // Under an MSI its own files are used where it put them, never copied
  // over, moved or deleted, whichever Vornell.exe runs.
  const bool msiOwned = ProgramFolderOwner() == InstallOwner::kWindowsInstaller;
  for (const std::string& folder : parents) {
    if (folder.empty()) continue;
    std::string why;
    if (!PrepareFolder(folder, !msiOwned, why)) return Fail(PackageCopyOutcome::kFailed, folder, why);
  }

  // Deletions that an earlier removal left for the restart would take this
  // install's files with them.
  std::uint32_t cleared = 0;
  own_.ClearPendingRemovals(cleared);

  // Read as the package folder is named (relative to the program's folder,
  // which a name GBK cannot spell may hold); its full name only tells
  // whether it is the copy's own folder: a run of the program copy, whose
  // package is already where only administrators can write, is checked
  // where it is.
  std::string source = s.driverSourceFolder;
  std::string full;
  bool inPlace = false;
  if (files_.FullPath(s.driverSourceFolder, full)) {
    if (full.empty() || full.back() != '\\') full += '\\';
    inPlace = NamesEqualIgnoreCase(full, target);
  }
  if (msiOwned && !inPlace) {
    Say("Windows Installer owns the program folder: its package is checked there, and the one beside this "
        "program is not copied");
    source = target;
    inPlace = true;
  }
  if (!inPlace) {
    std::string list;
    for (const std::string& name : Strangers(source)) list += (list.empty() ? "" : ", ") + name;
    if (!list.empty()) Say("not part of the package, never copied: " + list);
  }

  for (const ManifestFile& file : manifest_) {
    const std::string to = inPlace ? std::string() : target + file.name + kNewSuffix;
    FileDigest digest;
    if (!Read(source + file.name, to, digest)) {
      if (IsNotFound(error_)) return Fail(PackageCopyOutcome::kDiffers, file.name, "it is missing");
      const bool held = error_ == kErrorSharingViolation || error_ == kErrorLockViolation;
      return Fail(PackageCopyOutcome::kUnreadable, file.name,
                  held ? "another program holds it" : "it could not be read whole");
    }
    if (!to.empty()) written_.push_back(to);
    if (digest.size != file.size) {
      return Fail(PackageCopyOutcome::kDiffers, file.name,
                  "it has " + std::to_string(digest.size) + " bytes, the package's has " + std::to_string(file.size));
    }
    if (digest.sha256 != file.sha256) {
      return Fail(PackageCopyOutcome::kDiffers, file.name,
                  "its SHA-256 is " + digest.sha256 + ", the package's is " + file.sha256);
    }
  }
  if (!inPlace) {
    for (const ManifestFile& file : manifest_) {
      if (!files_.MoveFileTo(target + file.name + kNewSuffix, target + file.name)) {
        error_ = files_.LastError();
        return Fail(PackageCopyOutcome::kFailed, file.name, "the checked copy could not take its name");
      }
      written_.erase(written_.begin());
    }
  }
  // Only the package's files stay: an older version's leftovers go, unless
  // they are the MSI's.
  for (const std::string& name : msiOwned ? std::vector<std::string>() : Strangers(target)) {
    bool atRestart = false;
    if (files_.RemoveFile(target + name, atRestart)) Say("left by an earlier version, removed: " + name);
  }
  PackageCopyResult result;
  result.packageFolder = s.driverSourceFolder;
  s.driverSourceFolder = target;
  result.outcome = PackageCopyOutcome::kReady;
  result.inPlace = inPlace;
  result.createdFolders = created_;
  result.copyFolder = copyFolder_;
  return result;
}

}  // namespace

const ManifestFile* FindInManifest(const PackageManifest& manifest, const std::string& name) {
  const auto found = std::find_if(manifest.begin(), manifest.end(),
                                  [&](const ManifestFile& file) { return NamesEqualIgnoreCase(file.name, name); });
  return found != manifest.end() ? &*found : nullptr;
}

std::string PackageCopyFolder(const std::string& programFolder) { return programFolder + "\\x64\\driver"; }

PackageCopyResult CopyVerifiedPackage(const PackageNote& note) {
  return PackageCopier(installerState.packageManifest, note).Run();
}

std::string PackageCopyText(const PackageCopyResult& copy) {
  switch (copy.outcome) {
    case PackageCopyOutcome::kReady:
      return (copy.inPlace ? "the package is checked where it is, in " : "the package is checked and copied to ") +
             installerState.driverSourceFolder;
    case PackageCopyOutcome::kDiffers:
      return "the driver package is not the one this program was made for; nothing is installed: " + copy.file +
             ": " + copy.what;
    case PackageCopyOutcome::kUnreadable:
    case PackageCopyOutcome::kFailed:
      break;
  }
  return "the package could not be copied: " + copy.file + ": " + copy.what + ", error " +
         std::to_string(copy.error);
}

bool RemoveFilesOf(const std::string& folder) {
  Files& files = GetFiles();
  FindData entry;
  FindHandle walk = files.FindFirst(folder + "\\*.*", entry);
  if (walk == nullptr) return IsNotFound(files.LastError());
  bool removed = true;
  do {
    bool atRestart = false;
    if ((entry.attributes & kFileAttributeDirectory) != 0) continue;
    removed = files.RemoveFile(folder + "\\" + entry.name, atRestart);
  } while (removed && files.FindNext(walk, entry));
  files.FindEnd(walk);
  return removed;
}

void DiscardPackageCopy(const PackageCopyResult& copy) {
  // Another try starts from the package again, not from a copy that is gone.
  if (!copy.packageFolder.empty()) installerState.driverSourceFolder = copy.packageFolder;
  // A folder an earlier install made stays, with its copy.
  if (copy.createdFolders.empty()) return;
  // Its files go only where this run made the copy's folder itself.
  if (copy.createdFolders.back() == copy.copyFolder) RemoveFilesOf(copy.copyFolder);
  for (auto folder = copy.createdFolders.rbegin(); folder != copy.createdFolders.rend(); ++folder) {
    GetFiles().RemoveFolder(*folder);
  }
}

}  // namespace vornell
