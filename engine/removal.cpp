#include <algorithm>
#include <array>
#include <vector>

#include "engine/driver_directory.h"
#include "engine/engine.h"
#include "engine/state_text.h"
#include "platform/driver_setup.h"
#include "platform/files.h"
#include "platform/gbk.h"
#include "platform/own_installation.h"
#include "platform/process_calls.h"
#include "platform/spooler.h"

namespace vornell {

namespace {

// The model's own files among the package's, and then its catalog; the
// rest is Windows' generic driver core, which stays whatever happens.
constexpr std::size_t kModelFiles = 3;
// The spooler may still hold a driver whose last queue just went.
constexpr std::uint32_t kDriverReleasePauseMs = 2000;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& listed) { return NamesEqualIgnoreCase(listed, name); });
}

void AddOnce(std::vector<std::string>& names, const std::string& name) {
  if (!name.empty() && !Contains(names, name)) names.push_back(name);
}

// The checked copy of the package beside the program copy, with its folders.
template <typename Say>
bool RemovePackageCopy(const Say& say) {
  Files& files = GetFiles();
  OwnInstallation& own = GetOwnInstallation();
  std::string programFolder;
  if (!own.ProgramFolder(programFolder)) return false;
  const std::string folder = PackageCopyFolder(programFolder);
  if (!RemoveFilesOf(folder)) return false;
  // Empty now, and its parent then too; anything else of ours there keeps its folder.
  if (files.RemoveFolder(folder)) files.RemoveFolder(folder.substr(0, folder.rfind('\\')));
  say("package copy removed: " + folder);
  return true;
}

}  // namespace

RemovalResult RemoveInstallation(const RemovalNote& note) {
  const InstallerState& s = installerState;
  DriverSetup& setup = GetDriverSetup();
  Spooler& spooler = GetSpooler();
  Files& files = GetFiles();
  OwnInstallation& own = GetOwnInstallation();
  ProcessCalls& process = GetProcessCalls();
  RemovalResult result;
  // Read right after the call that failed, before anything else can change it.
  const auto failed = [&](const std::string& step) {
    result.error = GetSystemErrors().LastError();
    result.failedStep = step;
    return result;
  };
  const auto say = [&note](const std::string& line) {
    if (note) note(line);
  };

  AppsEntry entry;
  const bool haveEntry = own.ReadAppsEntry(entry);
  if (!haveEntry && own.LastError() != kErrorFileNotFound) return failed("reading the Apps & features entry");
  InstallRecord record;
  const bool haveRecord = own.ReadInstallRecord(record);
  if (!haveRecord && own.LastError() != kErrorFileNotFound) return failed("reading the install record");
  if (!haveRecord) {
    // Versions before the record kept what removal needs in the entry.
    record.queueName = entry.queueName;
    record.driverName = entry.driverName;
    record.storedInf = entry.storedInf;
  }
  const bool msiOwned = record.owner == InstallOwner::kWindowsInstaller;
  if (!haveEntry && !haveRecord) say("no Apps & features entry and no install record; removing what is there");
  if (msiOwned) say("Windows Installer owns the program folder and the entry: its removal takes them");

  // The queues, each driver read from its queue before the queue goes.
  std::vector<std::string> queues = {s.printerName, s.lptPrinterName};
  AddOnce(queues, record.queueName);
  std::vector<std::string> drivers;
  for (const std::string& queue : queues) {
    std::string driver;
    if (!spooler.GetQueueDriver(queue, driver)) {
      if (spooler.LastError() == kErrorInvalidPrinterName) continue;
      return failed("reading the queue " + queue);
    }
    AddOnce(drivers, driver);
    if (!spooler.DeleteQueue(queue)) return failed("deleting the queue " + queue);
    say("queue deleted: " + queue);
  }
  if (drivers.empty()) AddOnce(drivers, !record.driverName.empty() ? record.driverName : s.driverModelName);

  bool driverKept = false;
  for (const std::string& driver : drivers) {
    // Asked first: not every spooler refuses to delete a driver in use.
    std::vector<std::string> users;
    if (!spooler.QueuesUsingDriver(driver, users)) return failed("finding the queues that use " + driver);
    if (!users.empty()) {
      std::string names;
      for (const std::string& queue : users) names += (names.empty() ? "" : ", ") + queue;
      say("the printer driver " + driver + " stays with its package and files: the queue " + names + " uses it");
      driverKept = true;
      continue;
    }
    bool deleted = spooler.RemovePrinterDriver(driver);
    std::uint32_t error = deleted ? 0 : spooler.LastError();
    if (!deleted && error == kErrorPrinterDriverInUse) {
      // No queue uses it, yet the spooler holds it: once more, shortly.
      process.Sleep(kDriverReleasePauseMs);
      deleted = spooler.RemovePrinterDriver(driver);
      error = deleted ? 0 : spooler.LastError();
    }
    if (deleted) {
      say("printer driver deleted: " + driver);
      continue;
    }
    if (error == kErrorUnknownPrinterDriver) {
      say("no printer driver installed: " + driver);
    } else if (error == kErrorPrinterDriverInUse) {
      say("the spooler still holds the printer driver " + driver +
          " although no queue uses it; run the removal again after a restart");
      result.error = error;
      result.failedStep = "deleting the printer driver " + driver;
      return result;
    } else {
      return failed("deleting the printer driver " + driver);
    }
  }

  if (!driverKept) {
    std::string origin;
    if (record.storedInf.empty()) {
      say("no driver-store package recorded");
    } else if (setup.StoredInfOrigin(record.storedInf, origin) &&
               !NamesEqualIgnoreCase(origin, DriverFileName(s, 0))) {
      // The store gave the name to another package since: not ours to take.
      say("the driver store's " + record.storedInf + " now holds " + origin + ", not our package; it stays");
    } else {
      // Forced: the queue and the driver are gone, so only a device can
      // still use the package, and removal is to take it off that device
      // too. Unforced, Windows 7's call and Wine's keep a package in use.
      StoreRemoval removal;
      if (setup.RemoveStoredDriver(record.storedInf, true, removal)) {
        result.restartNeeded = result.restartNeeded || removal.restartNeeded;
      } else if (setup.LastError() == kErrorFileNotFound) {
        say("the driver package is no longer in the driver store: " + record.storedInf);
      } else {
        return failed("taking the driver package out of the driver store");
      }
    }

    std::vector<std::string> used;
    if (!spooler.ListDriverFiles(used)) return failed("listing the files the printer drivers use");
    std::array<char, kPrinterDriverDirectorySize> directory{};
    if (!FetchPrinterDriverDirectory(directory)) return failed("finding the printer-driver directory");
    const std::string folder(directory.data(), strnlen(directory.data(), directory.size()));
    for (std::size_t i = 0; i <= kModelFiles; ++i) {
      // Staging put the catalog there with the rest.
      const std::string name = i < kModelFiles ? DriverFileName(s, i) : CatalogName(s);
      if (name.empty()) continue;
      if (Contains(used, name)) {
        say("kept, a printer driver uses it: " + name);
        continue;
      }
      bool atRestart = false;
      if (!files.RemoveFile(folder + "\\" + name, atRestart)) {
        const std::uint32_t error = files.LastError();
        if (error == kErrorFileNotFound || error == kErrorPathNotFound) continue;
        result.error = error;
        result.failedStep = "deleting " + folder + "\\" + name;
        return result;
      }
      result.restartNeeded = result.restartNeeded || atRestart;
    }
  }

  if (!msiOwned && !RemovePackageCopy(say)) return failed("removing the package copy");
  if (haveRecord && !own.DeleteInstallRecord()) return failed("removing the install record");
  // The program's own entry only: an MSI's is not in this key.
  if (haveEntry && !own.DeleteAppsEntry()) return failed("removing the Apps & features entry");
  bool copyAtRestart = false;
  if (!msiOwned && !own.RemoveProgramCopy(copyAtRestart)) return failed("removing the program copy");
  // Inert once the entry is gone: no restart is asked for it.
  if (copyAtRestart) say("the program copy runs now; it goes at the next restart");
  result.removed = true;
  return result;
}

}  // namespace vornell
