// The USB probe's device-path match, alone and through the probe on the
// simulated machine: paths shorter than the "\\?\usb#" prefix, exactly as
// long as prefix and match text, longer than the 1,024-byte detail buffer,
// with GBK lead bytes where the piece is cut and zeros inside.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
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
#include "engine/installer_state.h"

namespace {

using namespace vornell;
using namespace vornell::fuzz;

constexpr char kUsbPrefix[] = "\\\\?\\usb#";
constexpr char kMatchId[] = "vid_f0e1&pid_c20b";
constexpr std::size_t kPrefixLength = sizeof kUsbPrefix - 1;
constexpr std::size_t kPieceLength = sizeof kMatchId - 1;
// The detail buffer is 1,024 bytes and begins with a 4-byte size field:
// the path and its zero get the rest.
constexpr std::size_t kPathRoom = 1024 - 4;
constexpr int kDeviceSlots = 4;

// The piece as the engine defines it: the bytes after the prefix, as many
// as the match text has, fewer at the end of the path.
std::string_view BytePiece(std::string_view path) {
  if (path.size() <= kPrefixLength) return {};
  return path.substr(kPrefixLength, std::min(kPieceLength, path.size() - kPrefixLength));
}

// The piece read as "17 characters from character 8".
std::string_view CharacterPiece(std::string_view path) {
  const std::vector<std::string_view> characters = Characters(path);
  std::size_t begin = 0;
  std::size_t index = 0;
  for (; index < characters.size() && index < kPrefixLength; ++index) begin += characters[index].size();
  std::size_t end = begin;
  for (std::size_t taken = 0; index < characters.size() && taken < kPieceLength; ++index, ++taken) {
    end += characters[index].size();
  }
  return path.substr(begin, end - begin);
}

bool HasLeadByte(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return IsLead(static_cast<unsigned char>(c)); });
}

void CheckMatch(std::string_view path, std::string_view matchId) {
  const bool matches = UsbPathMatches(ExactBytes(path).view(), ExactBytes(matchId).view());
  FUZZ_CHECK(matches == ReferenceNamesEqual(BytePiece(path), matchId));
  // Where the prefix is eight single bytes and the match text has no
  // double-byte character, cutting by bytes and by characters agree: a lead
  // byte at the cut can neither make nor break a match.
  if (!HasLeadByte(path.substr(0, kPrefixLength)) && !HasLeadByte(matchId)) {
    FUZZ_CHECK(matches == ReferenceNamesEqual(CharacterPiece(path), matchId));
  }
}

enum class PathKind : std::uint8_t {
  kRaw,           // the bytes as given
  kPrefixed,      // the USB prefix, then the bytes
  kCarrying,      // the prefix, the match text in some letter case, the bytes
  kNearBufferEnd, // as kCarrying, cut or padded to 1,000 to 1,031 bytes
};

struct DeviceSlot {
  PathKind kind;
  std::uint8_t lengthAbove1000;
  std::uint8_t casePattern;
};

std::string MakePath(const DeviceSlot& slot, std::string_view matchId, std::string_view bytes) {
  switch (slot.kind) {
    case PathKind::kRaw:
      return std::string(bytes);
    case PathKind::kPrefixed:
      return kUsbPrefix + std::string(bytes);
    case PathKind::kCarrying:
      return kUsbPrefix + SwapLetterCase(matchId, slot.casePattern) + std::string(bytes);
    case PathKind::kNearBufferEnd: {
      std::string path = kUsbPrefix + SwapLetterCase(matchId, slot.casePattern) + std::string(bytes);
      path.resize(1000 + slot.lengthAbove1000, '0');
      return path;
    }
  }
  return {};
}

// What the probe must conclude: the first device, in enumeration order and
// before a failing enumeration call, whose path fits the buffer and whose
// text up to its first zero matches. A path that does not fit is skipped.
bool ExpectDetected(const std::vector<std::string>& paths, std::size_t enumerated,
                    std::string_view matchId) {
  for (std::size_t i = 0; i < std::min(enumerated, paths.size()); ++i) {
    if (paths[i].size() + 1 > kPathRoom) continue;
    const std::string_view text(paths[i].c_str());
    if (ReferenceNamesEqual(BytePiece(text), matchId)) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool realMatchId = input.ConsumeBool();
  const bool detectedBefore = input.ConsumeBool();
  const int deviceCount = input.ConsumeIntegralInRange(0, kDeviceSlots);
  // kDeviceSlots + 1: the enumeration never fails early.
  const int enumFailsAt = input.ConsumeIntegralInRange(0, kDeviceSlots + 1);
  DeviceSlot slots[kDeviceSlots];
  for (DeviceSlot& slot : slots) {
    slot.kind = static_cast<PathKind>(input.ConsumeIntegralInRange<std::uint8_t>(0, 3));
    slot.lengthAbove1000 = input.ConsumeIntegralInRange<std::uint8_t>(0, 31);
    slot.casePattern = input.ConsumeIntegral<std::uint8_t>();
  }

  const std::string matchId = realMatchId ? std::string(kMatchId) : input.ConsumeRandomLengthString(64);
  std::vector<std::string> paths;
  for (int i = 0; i < deviceCount; ++i) {
    paths.push_back(MakePath(slots[i], matchId, input.ConsumeRandomLengthString(1100)));
    CheckMatch(paths.back(), matchId);
  }
  CheckMatch(input.ConsumeRandomLengthString(64), matchId);

  headless::ResetEnvironment();
  SimulatedMachine machine;
  SetServices(&machine);
  installerState = InstallerState{};
  installerState.usbMatchId = matchId;
  installerState.printerDetected = detectedBefore ? 1 : 0;
  machine.SetUsbDevicePaths(paths);
  if (enumFailsAt <= kDeviceSlots) machine.FailEnumAt(static_cast<std::uint32_t>(enumFailsAt));
  std::string devicePath;
  const UsbProbeResult result = ProbeUsbPrinter(&devicePath);
  const bool found = ExpectDetected(paths, static_cast<std::size_t>(enumFailsAt), matchId);
  FUZZ_CHECK(result == (found ? UsbProbeResult::kFound : UsbProbeResult::kAbsent));
  FUZZ_CHECK(found ? UsbPathMatches(devicePath, matchId) : devicePath.empty());
  // The probe only ever sets the flag.
  FUZZ_CHECK(installerState.printerDetected == ((detectedBefore || found) ? 1 : 0));
  // The detail call is never told of more room than the buffer has after its size field.
  for (const SimulatedCall& call : machine.CallsOf("GetUsbDeviceInterfacePath")) {
    FUZZ_CHECK(call.numbers.size() == 2 && call.numbers[1] <= kPathRoom);
  }
  FUZZ_CHECK(machine.LiveDeviceSets() == 0);
  FUZZ_CHECK(machine.BadHandleUses() == 0);
  SetServices(nullptr);
  return 0;
}
