#pragma once
// The system's list of renames and deletions at the next restart
// (PendingFileRenameOperations, a REG_MULTI_SZ of pairs: the source as
// "\??\C:\...", then the target, or an empty string for a deletion), and
// what of it earlier removals of ours left there.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vornell {

// What our removals add to the name of a file in use before they delete
// it, or schedule it for the next restart: "RX730TP.dll.vornell-removed-12-3".
inline constexpr wchar_t kRemovedMark[] = L".vornell-removed-";

// Two texts equal without regard to letter case, as the file system
// compares names.
using SameNames = std::function<bool(std::wstring_view, std::wstring_view)>;

struct PendingClearing {
  bool wellFormed = false;  // false: not a list of pairs; left as it is
  std::uint32_t dropped = 0;
  std::wstring kept;  // the value's new characters; empty when nothing remains
};

// Deletes a file now (its path as the program names it); false when it is
// still there.
using DeleteNow = std::function<bool(std::wstring_view)>;

// Drops from the value's characters (`data`, its final terminators
// included or not) the pairs whose source is `programFolder` or inside it,
// or its parent folder itself (other programs of ours may share it). A
// file whose name carries kRemovedMark, wherever it is, goes now
// (`deleteNow`) and its pair with it; one still in use keeps its pair, so
// that it still goes at the restart rather than stay for ever. Everything
// else stays, in order.
PendingClearing ClearOurPendingRenames(std::wstring_view data, std::wstring_view programFolder,
                                       const SameNames& same, const DeleteNow& deleteNow);

}  // namespace vornell
