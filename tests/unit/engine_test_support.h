#pragma once
// What the engine's tests share: a fresh installer state filled in as the
// main window's initialisation fills it, a simulated machine over a real
// temporary folder, and the sample driver package copied into it.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/sha256.h"
#include "platform/simulated/simulated_machine.h"
#include "engine/installer_state.h"

namespace vornell::engine_test {

namespace fs = std::filesystem;

// driverFiles in index order, then the catalog, as the check tests them.
inline const std::vector<std::string> kPackageFiles = {
    "RX730TP.INF", "RX730TP.dll", "RX730TP.gpd",  "UNIDRV.DLL",
    "UNIDRV.HLP",  "UNIDRVUI.DLL", "UNIRES.DLL", "STDNAMES.GPD", "RX730TP.cat"};

// The GBK bytes spelled out, so the expectations do not lean on the
// compiler's execution character set.
inline const std::string kUsbQueue = "Orvane RX730T\xA2\xF2";
inline const std::string kLptQueue = "Orvane RX730T\xA2\xF2 LPT";

inline std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline const fs::path kSamplePackage = fs::path(VORNELL_SOURCE_DIR) / "tests/fixtures/package/x64/driver";

// The sample package's files, copied into `target`.
inline void CopySamplePackageTo(const fs::path& target) {
  fs::create_directories(target);
  for (const std::string& name : kPackageFiles) fs::copy_file(kSamplePackage / name, target / name);
}

// A manifest of the files in `folder`, as the build writes one.
inline PackageManifest ManifestOf(const fs::path& folder) {
  PackageManifest manifest;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    const std::string content = ReadAll(entry.path());
    Sha256 hash;
    hash.Add(content.data(), content.size());
    manifest.push_back({entry.path().filename().string(), content.size(), hash.HexDigest()});
  }
  return manifest;
}

inline void SetPrinterDriverDirectory(InstallerState& state, const std::string& path) {
  ASSERT_LT(path.size(), state.printerDriverDirectory.size());
  state.printerDriverDirectory.fill('\0');
  path.copy(state.printerDriverDirectory.data(), path.size());
}

// Every walk, buffer and device set the code opened was given back.
inline void ExpectNothingLeftOpen(const SimulatedMachine& machine) {
  EXPECT_EQ(machine.OpenFindWalks(), 0u);
  EXPECT_EQ(machine.LiveAllocations(), 0u);
  EXPECT_EQ(machine.BadFrees(), 0u);
  EXPECT_EQ(machine.LiveDeviceSets(), 0u);
  EXPECT_EQ(machine.BadHandleUses(), 0u);
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    installerState = InstallerState{};
    machine.SetCurrentFolder(folder.path());
    SetServices(&machine);
    // The package as the program's start describes it, in a 64-bit process;
    // the tests look only at the calls of what they run.
    DescribeDriverPackage();
    machine.ClearCalls();
  }

  void TearDown() override {
    ExpectNothingLeftOpen(machine);
    SetServices(nullptr);
    installerState = InstallerState{};
  }

  // The sample package, copied to `relative` under the temporary folder.
  fs::path CopySamplePackage(const fs::path& relative = "x64/driver") {
    const fs::path target = folder.path() / relative;
    CopySamplePackageTo(target);
    return target;
  }

  std::vector<std::string> TextsOf(std::string_view operation, std::size_t index = 0) const {
    std::vector<std::string> texts;
    for (const SimulatedCall& call : machine.CallsOf(operation)) texts.push_back(call.texts.at(index));
    return texts;
  }

  ScopedTempFolder folder;
  SimulatedMachine machine;
};

}  // namespace vornell::engine_test
