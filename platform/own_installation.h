#pragma once
// The program's own installation: its folder under Program Files with the
// program copy, its entry in Apps & features, the install record that
// removal reads, and what its removals left for the next restart.
#include <cstdint>
#include <string>

#include "platform/system_errors.h"

namespace vornell {

// The program's entry in Apps & features (the 64-bit Uninstall key
// "Orvane.Vornell"): what the list shows. GBK.
struct AppsEntry {
  std::string displayName;
  std::string displayVersion;
  std::string publisher;
  std::string programCopy;  // DisplayIcon; the uninstall commands run it
  std::uint32_t estimatedSizeKb = 0;
  // What removal needs, read from an entry that a version before the
  // install record wrote; never written now.
  std::string queueName;
  std::string driverName;
  std::string storedInf;  // the driver store's name of the package's INF (oem<N>.inf)
};

// Who owns the program folder (the program copy and the package copy) and
// the Apps & features entry: the program itself, or Windows Installer, whose
// MSI installed them and shows its own entry.
enum class InstallOwner { kNone, kProgram, kWindowsInstaller };

// What removal needs, kept apart from any Apps & features entry in
// HKLM\Software\Orvane\Vornell (64-bit view), with the owner. GBK.
struct InstallRecord {
  InstallOwner owner = InstallOwner::kNone;
  std::string queueName;
  std::string driverName;
  std::string storedInf;  // the driver store's name of the package's INF (oem<N>.inf)
};

class OwnInstallation : public virtual SystemErrors {
 public:
  // %ProgramFiles%\Orvane\Vornell, without a final backslash: the folder
  // of the program copy and of the verified package copy. Only names it.
  virtual bool ProgramFolder(std::string& folder) = 0;
  // Takes out of the system's list of renames and deletions at the next
  // restart (PendingFileRenameOperations) what earlier removals of ours
  // left there: names in the program folder, and names our removals gave
  // to files in use. Other programs' entries stay. `cleared` says how many.
  virtual bool ClearPendingRemovals(std::uint32_t& cleared) = 0;
  // Copies the running program to ProgramFolder()\Vornell.exe from the
  // handle to its own file that the process opened at start (so a file put
  // under its name since is not what is copied): written under a temporary
  // name, then moved into place (a copy that runs is renamed aside first).
  // The caller has checked the folder. `copyPath` receives its path (also
  // when the running program is that copy, which stays as it is).
  virtual bool InstallProgramCopy(std::string& copyPath) = 0;
  // Deletes that copy and its folders where empty; a copy that runs (the
  // uninstall command of Apps & features starts it) goes at the next restart.
  virtual bool RemoveProgramCopy(bool& atRestart) = 0;
  // The Apps & features entry: written whole (with today's InstallDate and
  // NoModify, NoRepair and the uninstall commands made from programCopy),
  // read back (false, error 2, when there is none) and deleted.
  virtual bool WriteAppsEntry(const AppsEntry& entry) = 0;
  virtual bool ReadAppsEntry(AppsEntry& entry) = 0;
  virtual bool DeleteAppsEntry() = 0;
  // The install record: read (false, error 2, when there is none; an owner
  // value the program does not know reads as Windows Installer's, so that
  // nothing of another owner is touched), written (the removal's values, and
  // the owner when it is the program: the MSI writes its own) and deleted
  // (the removal's values and the program's owner value; the key, and
  // "Orvane" above it, when nothing else is left in them).
  virtual bool ReadInstallRecord(InstallRecord& record) = 0;
  virtual bool WriteInstallRecord(const InstallRecord& record) = 0;
  virtual bool DeleteInstallRecord() = 0;
};

OwnInstallation& GetOwnInstallation();

}  // namespace vornell
