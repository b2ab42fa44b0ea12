// Every command line and path the program builds from names and folders,
// with names and folders of any bytes and length: the parallel-port install
// command, the closing printer commands, the printer-driver directory in its
// 264-byte buffer, the staged INF's path, the package check's and the
// staging's paths. Each output holds its inputs byte for byte where it
// should; well-formed names come back whole from the command lines.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "framework/dialog.h"
#include "framework/headless/headless.h"
#include "platform/services.h"
#include "platform/simulated/simulated_machine.h"
#include "res/resource.h"
#include "tests/fuzz/fuzz_support.h"
#include "engine/driver_directory.h"
#include "engine/installer_state.h"
#include "wizard/vornell_dlg.h"

namespace {

using namespace vornell;
using namespace vornell::fuzz;

constexpr std::size_t kNameBytes = 300;
// Names in a command line: no zero, no double quote (the system allows
// neither in the names the program uses), whole GBK characters.
constexpr std::string_view kNotInNames("\"\0", 2);

// Zero-terminated names (driverFiles, hardwareId) end at their first zero.
std::string AsCString(const std::string& bytes) { return std::string(bytes.c_str()); }

std::string Name(FuzzedDataProvider& input, bool wellFormed) {
  std::string name = input.ConsumeRandomLengthString(kNameBytes);
  return wellFormed ? WellFormedGbk(name, kNotInNames) : name;
}

// Fresh global state for one run. The bytes after printerDriverDirectory up
// to the end of the record are padding that AddressSanitizer cannot guard;
// non-zero there, a read that runs past the buffer looking for a zero goes
// on into the guarded zone after the record.
void ResetInstallerState() {
  installerState = InstallerState{};
  auto* const recordEnd = reinterpret_cast<unsigned char*>(&installerState) + sizeof(InstallerState);
  auto* const bufferEnd = reinterpret_cast<unsigned char*>(installerState.printerDriverDirectory.data()) +
                          installerState.printerDriverDirectory.size();
  std::memset(bufferEnd, 'X', static_cast<std::size_t>(recordEnd - bufferEnd));
}

// Fills the directory buffer with `bytes` and pads it with zeros or with
// `padding`, so that it may hold no zero at all.
void FillDriverDirectory(std::string_view bytes, bool zeroPadded, char padding) {
  auto& buffer = installerState.printerDriverDirectory;
  const std::size_t taken = std::min(bytes.size(), buffer.size());
  std::memcpy(buffer.data(), bytes.data(), taken);
  std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(taken), buffer.end(), zeroPadded ? '\0' : padding);
}

// The directory as text: the bytes before the buffer's first zero, or all of them.
std::string DriverDirectoryText() {
  const auto& buffer = installerState.printerDriverDirectory;
  return std::string(buffer.begin(), std::find(buffer.begin(), buffer.end(), '\0'));
}

// ----------------------------------------------------------------- commands

void ParallelCommand(FuzzedDataProvider& input) {
  const bool wellFormed = input.ConsumeBool();
  const std::string queue = Name(input, wellFormed);
  const std::string folder = Name(input, wellFormed);
  const std::string inf = AsCString(Name(input, wellFormed));
  const std::string model = Name(input, wellFormed);

  InstallerState state;
  state.lptPrinterName = queue;
  state.driverSourceFolder = folder;
  state.driverFiles[0] = inf.c_str();
  state.driverModelName = model;
  const std::string arguments = BuildParallelInstallArguments(state, folder + inf);

  FUZZ_CHECK(IsExactly(arguments, {"printui.dll,PrintUIEntry /if /b \"", queue, "\" /f \"", folder, inf,
                                   "\" /r \"COM1:\" /m \"", model, "\""}));
  // A backslash right before a closing quote would escape it; no queue or
  // model name holds one and the INF's name ends the path.
  const std::string infPath = folder + inf;
  if (wellFormed && !EndsWithBackslash(queue) && !EndsWithBackslash(infPath) && !EndsWithBackslash(model)) {
    const std::vector<std::string> expected{"printui.dll,PrintUIEntry", "/if", "/b", queue, "/f", infPath,
                                            "/r", "COM1:", "/m", model};
    FUZZ_CHECK(SplitCommandLine(arguments) == expected);
  }
}

void FinishCommands(FuzzedDataProvider& input) {
  const bool wellFormed = input.ConsumeBool();
  const int connectionType = input.ConsumeIntegralInRange(0, 2);
  const bool makeDefault = input.ConsumeBool();
  const bool testPage = input.ConsumeBool();
  const std::string usbQueue = Name(input, wellFormed);
  const std::string lptQueue = Name(input, wellFormed);

  headless::ResetEnvironment();
  SimulatedMachine machine;
  SetServices(&machine);
  ResetInstallerState();
  {
    CVornellDlg dialog;
    FUZZ_CHECK(headless::Open(dialog));
    installerState.printerName = usbQueue;
    installerState.lptPrinterName = lptQueue;
    installerState.connectionType = connectionType;
    dialog.SendItemMessage(IDC_SET_DEFAULT, kBmSetCheck, makeDefault ? kBstChecked : kBstUnchecked);
    dialog.SendItemMessage(IDC_TEST_PAGE, kBmSetCheck, testPage ? kBstChecked : kBstUnchecked);
    machine.ClearCalls();
    installerState.step = WizardStep::kFinish;
    dialog.RunStep();
  }
  SetServices(nullptr);

  // USB is connection type 1; the parallel-port queue otherwise.
  const std::string& queue = connectionType == 1 ? usbQueue : lptQueue;
  std::vector<std::string_view> options;
  if (makeDefault) options.push_back("/y");
  if (testPage) options.push_back("/k");
  const std::vector<SimulatedCall> starts = machine.CallsOf("StartRundll32");
  FUZZ_CHECK(starts.size() == options.size());
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const std::string& arguments = starts[i].texts.at(0);
    FUZZ_CHECK(IsExactly(arguments, {"printui.dll,PrintUIEntry ", options[i], " /n \"", queue, "\""}));
    if (wellFormed && !EndsWithBackslash(queue)) {
      const std::vector<std::string> expected{"printui.dll,PrintUIEntry", std::string(options[i]), "/n", queue};
      FUZZ_CHECK(SplitCommandLine(arguments) == expected);
    }
  }
}

// ----------------------------------------------------------------- paths

void DriverDirectory(FuzzedDataProvider& input) {
  const bool systemFails = input.ConsumeBool();
  const char before = static_cast<char>(input.ConsumeIntegral<std::uint8_t>());
  const std::string given = input.ConsumeRandomLengthString(400);

  SimulatedMachine machine;
  SetServices(&machine);
  if (systemFails) {
    machine.FailDriverDirectory(given);
  } else {
    machine.SetDriverDirectory(given);
  }
  // On the heap at its exact size: a write past it is an overflow.
  auto buffer = std::make_unique<std::array<char, kPrinterDriverDirectorySize>>();
  buffer->fill(before);
  const bool fetched = FetchPrinterDriverDirectory(*buffer);
  SetServices(nullptr);

  const std::vector<SimulatedCall> calls = machine.CallsOf("GetDriverDirectory");
  FUZZ_CHECK(calls.size() == 1 && calls[0].numbers.at(0) == kPrinterDriverDirectoryFetchSize);
  // The system writes the path and its zero, or fails; the path ends at its first zero.
  const std::string path = AsCString(given);
  const bool usable = !systemFails && given.size() + 1 <= kPrinterDriverDirectoryFetchSize && !path.empty();
  FUZZ_CHECK(fetched == usable);
  if (usable) {
    FUZZ_CHECK(IsExactly(std::string_view(buffer->data(), strnlen(buffer->data(), buffer->size())),
                         {path, "\\3"}));
  } else {
    FUZZ_CHECK(std::all_of(buffer->begin(), buffer->end(), [](char c) { return c == '\0'; }));
  }
}

void UsbInstallPaths(FuzzedDataProvider& input) {
  const bool zeroPadded = input.ConsumeBool();
  const char padding = static_cast<char>(input.ConsumeIntegral<std::uint8_t>());
  const bool withHardwareId = input.ConsumeBool();
  const bool updateSucceeds = input.ConsumeBool();
  const int copyResult = input.ConsumeIntegralInRange(-1, 2);
  const std::string directory = input.ConsumeRandomLengthString(kNameBytes);
  const std::string inf = AsCString(input.ConsumeRandomLengthString(kNameBytes));
  const std::string hardwareId = AsCString(input.ConsumeRandomLengthString(kNameBytes));

  SimulatedMachine machine;
  SetServices(&machine);
  machine.SetUpdateDriverResult(updateSucceeds);
  machine.SetCopyOemInfResult(copyResult);
  ResetInstallerState();
  // The driver directory holds garbage the worker must not read: it takes
  // the package's own INF.
  FillDriverDirectory(directory, zeroPadded, padding);
  installerState.driverSourceFolder = directory;
  installerState.driverFiles[0] = inf.c_str();
  installerState.hardwareId = withHardwareId ? hardwareId.c_str() : nullptr;
  UsbInstallThread(nullptr);
  SetServices(nullptr);

  const std::string infPath = directory + inf;
  const std::vector<SimulatedCall> updates = machine.CallsOf("UpdateDriver");
  FUZZ_CHECK(updates.size() == 1);
  FUZZ_CHECK(updates[0].texts == (std::vector<std::string>{withHardwareId ? hardwareId : "", infPath}));
  const std::vector<SimulatedCall> stores = machine.CallsOf("SetupCopyOemInf");
  FUZZ_CHECK(stores.size() == (machine.DriverUpdatesDone() == 1 ? 0u : 1u));
  for (const SimulatedCall& store : stores) FUZZ_CHECK(store.texts == std::vector<std::string>{infPath});
}

// Files that exist as the input says, recorded call by call; the walk of the
// source folder returns the input's entries.
class ScriptedFiles : public SimulatedMachine {
 public:
  struct Entry {
    FindData found;
    bool targetExists = false;
    bool copySucceeds = true;
    std::uint32_t attributesAfterCopy = kFileAttributeArchive;
  };
  struct FileCall {
    std::string operation;
    std::vector<std::string> texts;
    int entry = -1;  // the walk's current entry; -1 before the walk
  };

  std::vector<bool> existence;  // answers to PathExists in call order, before the walk
  bool folderExists = false;    // for CreateFolder
  std::vector<Entry> entries;
  std::vector<FileCall> calls;
  int findEnds = 0;

  bool PathExists(const std::string& path) override {
    Log("PathExists", {path});
    if (current >= 0) return entries[static_cast<std::size_t>(current)].targetExists;
    const bool exists = answered < existence.size() && existence[answered];
    ++answered;
    return exists;
  }
  bool CreateFolder(const std::string& path) override {
    Log("CreateFolder", {path});
    return !folderExists;
  }
  bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) override {
    Log("CopyFileTo", {from, to, failIfExists ? "fail if exists" : "replace"});
    return current >= 0 && entries[static_cast<std::size_t>(current)].copySucceeds;
  }
  std::uint32_t GetAttributes(const std::string& path) override {
    Log("GetAttributes", {path});
    return current >= 0 ? entries[static_cast<std::size_t>(current)].attributesAfterCopy : kInvalidFileAttributes;
  }
  bool SetAttributes(const std::string& path, std::uint32_t attributes) override {
    Log("SetAttributes", {path, std::to_string(attributes)});
    return true;
  }
  FindHandle FindFirst(const std::string& pattern, FindData& data) override {
    Log("FindFirst", {pattern});
    if (entries.empty()) return nullptr;
    current = 0;
    data = entries[0].found;
    return this;
  }
  bool FindNext(FindHandle walk, FindData& data) override {
    FUZZ_CHECK(walk == this);
    if (static_cast<std::size_t>(current + 1) >= entries.size()) return false;
    data = entries[static_cast<std::size_t>(++current)].found;
    return true;
  }
  void FindEnd(FindHandle walk) override {
    FUZZ_CHECK(walk == this);
    ++findEnds;
  }

 private:
  void Log(std::string operation, std::vector<std::string> texts) {
    calls.push_back(FileCall{std::move(operation), std::move(texts), current});
  }
  std::size_t answered = 0;
  int current = -1;
};

void PackageCheckPaths(FuzzedDataProvider& input) {
  const auto present = input.ConsumeIntegral<std::uint8_t>();
  const auto unnamed = input.ConsumeIntegral<std::uint8_t>();
  const std::string folder = input.ConsumeRandomLengthString(kNameBytes);
  std::array<std::string, kDriverFileCount> names;
  for (std::string& name : names) name = AsCString(input.ConsumeRandomLengthString(kNameBytes));

  ScriptedFiles machine;
  for (std::size_t i = 0; i < kDriverFileCount; ++i) machine.existence.push_back(((present >> i) & 1) != 0);
  SetServices(&machine);
  ResetInstallerState();
  installerState.driverSourceFolder = folder;
  for (std::size_t i = 0; i < kDriverFileCount; ++i) {
    installerState.driverFiles[i] = ((unnamed >> i) & 1) != 0 ? nullptr : names[i].c_str();
  }
  const bool complete = CheckDriverPackage();
  SetServices(nullptr);

  // One look per file, in order, up to the first one missing.
  std::size_t looked = 0;
  while (looked < kDriverFileCount && ((present >> looked) & 1) != 0) ++looked;
  FUZZ_CHECK(complete == (looked == kDriverFileCount));
  if (looked < kDriverFileCount) ++looked;
  FUZZ_CHECK(machine.calls.size() == looked);
  for (std::size_t i = 0; i < machine.calls.size(); ++i) {
    const std::string name = ((unnamed >> i) & 1) != 0 ? std::string() : names[i];
    FUZZ_CHECK(machine.calls[i].operation == "PathExists");
    FUZZ_CHECK(machine.calls[i].texts == std::vector<std::string>{folder + name});
  }
}

constexpr int kEntrySlots = 6;

void StagingPaths(FuzzedDataProvider& input) {
  const bool zeroPadded = input.ConsumeBool();
  const char padding = static_cast<char>(input.ConsumeIntegral<std::uint8_t>());
  const bool destinationExists = input.ConsumeBool();
  const int entryCount = input.ConsumeIntegralInRange(0, kEntrySlots);
  ScriptedFiles machine;
  machine.existence = {destinationExists};
  for (int i = 0; i < kEntrySlots; ++i) {
    ScriptedFiles::Entry entry;
    switch (input.ConsumeIntegralInRange(0, 3)) {
      case 0: entry.found.attributes = kFileAttributeArchive; break;
      case 1: entry.found.attributes = kFileAttributeReadOnly;
              entry.attributesAfterCopy = kFileAttributeReadOnly | kFileAttributeArchive; break;
      case 2: entry.found.attributes = kFileAttributeDirectory; break;
      default: entry.found.attributes = kFileAttributeArchive;
               entry.attributesAfterCopy = kInvalidFileAttributes; break;
    }
    entry.targetExists = input.ConsumeBool();
    entry.copySucceeds = input.ConsumeBool();
    if (i < entryCount) machine.entries.push_back(entry);
  }
  const std::string directory = input.ConsumeRandomLengthString(kNameBytes);
  const std::string source = input.ConsumeRandomLengthString(kNameBytes);
  // The package lists some of the names; the others are never its files.
  PackageManifest manifest;
  for (ScriptedFiles::Entry& entry : machine.entries) {
    entry.found.name = input.ConsumeRandomLengthString(kNameBytes);
    if (input.ConsumeBool()) manifest.push_back({entry.found.name, 0, ""});
  }

  headless::ResetEnvironment();
  SetServices(&machine);
  ResetInstallerState();
  installerState.packageManifest = manifest;
  FillDriverDirectory(directory, zeroPadded, padding);
  installerState.driverSourceFolder = source;
  StageDriverFiles(nullptr);
  SetServices(nullptr);

  const std::string destination = DriverDirectoryText();
  const auto& calls = machine.calls;
  std::size_t at = 0;
  FUZZ_CHECK(calls.size() > at && calls[at].operation == "PathExists" &&
             calls[at].texts == std::vector<std::string>{destination});
  ++at;
  if (!destinationExists) {
    FUZZ_CHECK(calls.size() > at && calls[at].operation == "CreateFolder" &&
               calls[at].texts == std::vector<std::string>{destination});
    ++at;
  }
  FUZZ_CHECK(calls.size() > at && calls[at].operation == "FindFirst" &&
             calls[at].texts == std::vector<std::string>{source + "*.*"});
  ++at;
  FUZZ_CHECK(machine.findEnds == (machine.entries.empty() ? 0 : 1));

  // Every later call names the entry the walk is on, never a skipped one:
  // the target is the directory, a backslash and the entry's name; the copy
  // comes from the source folder and the same name.
  std::vector<bool> looked(machine.entries.size(), false);
  for (; at < calls.size(); ++at) {
    FUZZ_CHECK(calls[at].entry >= 0);
    const FindData& found = machine.entries[static_cast<std::size_t>(calls[at].entry)].found;
    FUZZ_CHECK(found.name != "." && found.name != ".." && (found.attributes & kFileAttributeDirectory) == 0);
    FUZZ_CHECK(FindInManifest(manifest, found.name) != nullptr);
    const std::string target = destination + "\\" + found.name;
    FUZZ_CHECK(!calls[at].texts.empty());
    if (calls[at].operation == "CopyFileTo") {
      FUZZ_CHECK(calls[at].texts == (std::vector<std::string>{source + found.name, target, "replace"}));
    } else {
      FUZZ_CHECK(calls[at].texts[0] == target);
    }
    if (calls[at].operation == "PathExists") looked[static_cast<std::size_t>(calls[at].entry)] = true;
  }
  // No entry is passed over before a copy fails.
  for (std::size_t i = 0; i < machine.entries.size(); ++i) {
    const ScriptedFiles::Entry& entry = machine.entries[i];
    const bool skipped = entry.found.name == "." || entry.found.name == ".." ||
                         (entry.found.attributes & kFileAttributeDirectory) != 0 ||
                         FindInManifest(manifest, entry.found.name) == nullptr;
    if (skipped) continue;
    FUZZ_CHECK(looked[i]);
    if (!entry.targetExists && !entry.copySucceeds) break;
  }
}

enum class Builder : std::uint8_t {
  kParallelCommand,
  kFinishCommands,
  kDriverDirectory,
  kUsbInstallPaths,
  kPackageCheckPaths,
  kStagingPaths,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  switch (static_cast<Builder>(input.ConsumeIntegralInRange<std::uint8_t>(0, 5))) {
    case Builder::kParallelCommand: ParallelCommand(input); break;
    case Builder::kFinishCommands: FinishCommands(input); break;
    case Builder::kDriverDirectory: DriverDirectory(input); break;
    case Builder::kUsbInstallPaths: UsbInstallPaths(input); break;
    case Builder::kPackageCheckPaths: PackageCheckPaths(input); break;
    case Builder::kStagingPaths: StagingPaths(input); break;
  }
  return 0;
}
