// What of the system's list of deletions at the next restart is ours.
#include "platform/pending_renames.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <iterator>

namespace vornell {
namespace {

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towupper(a[i]) != std::towupper(b[i])) return false;
  }
  return true;
}

constexpr wchar_t kFolder[] = L"C:\\Program Files\\Orvane\\Vornell";

// Files our removals renamed: gone now unless this one is still loaded.
bool DeleteUnlessLoaded(std::wstring_view path) { return path.find(L"LOADED") == std::wstring_view::npos; }

std::wstring List(std::initializer_list<std::wstring_view> strings) {
  std::wstring data;
  for (std::wstring_view s : strings) {
    data.append(s);
    data.push_back(L'\0');
  }
  data.push_back(L'\0');
  return data;
}

TEST(PendingRenames, DropsOursAndKeepsOthersInOrder) {
  const std::wstring data = List({
      L"\\??\\C:\\Windows\\Temp\\other.tmp", L"",                                     // another program's
      L"\\??\\C:\\PROGRAM FILES\\Orvane\\Vornell\\Vornell.exe.vornell-removed-8-2", L"",  // in our folder
      L"\\??\\C:\\Program Files\\Orvane\\Vornell", L"",                               // the folder itself
      L"\\??\\C:\\Program Files\\Orvane", L"",                                        // its parent
      L"\\??\\C:\\Program Files\\Orvane\\Other\\x.dll", L"",                          // a sibling's file
      L"\\??\\C:\\Program Files\\Orvane\\VornellTools\\a.exe", L"",                   // a folder by a longer name
      L"\\??\\C:\\Windows\\System32\\spool\\drivers\\x64\\3\\RX730TP.DLL.Vornell-Removed-4-1", L"",
      L"\\??\\C:\\Windows\\System32\\spool\\drivers\\x64\\3\\LOADED.DLL.vornell-removed-4-2", L"",
      L"\\??\\C:\\Windows\\new.dll", L"!\\??\\C:\\Windows\\System32\\old.dll",        // a rename
  });
  const PendingClearing cleared = ClearOurPendingRenames(data, kFolder, SameIgnoringCase, DeleteUnlessLoaded);
  EXPECT_TRUE(cleared.wellFormed);
  EXPECT_EQ(cleared.dropped, 4u);
  EXPECT_EQ(cleared.kept,
            List({L"\\??\\C:\\Windows\\Temp\\other.tmp", L"",
                  L"\\??\\C:\\Program Files\\Orvane\\Other\\x.dll", L"",
                  L"\\??\\C:\\Program Files\\Orvane\\VornellTools\\a.exe", L"",
                  L"\\??\\C:\\Windows\\System32\\spool\\drivers\\x64\\3\\LOADED.DLL.vornell-removed-4-2", L"",
                  L"\\??\\C:\\Windows\\new.dll", L"!\\??\\C:\\Windows\\System32\\old.dll"}));

  // Only ours: nothing remains (the value then goes).
  const PendingClearing all =
      ClearOurPendingRenames(List({L"\\??\\C:\\Program Files\\Orvane\\Vornell\\Vornell.exe", L""}), kFolder,
                             SameIgnoringCase, DeleteUnlessLoaded);
  EXPECT_EQ(all.dropped, 1u);
  EXPECT_TRUE(all.kept.empty());
}

TEST(PendingRenames, LeavesAListItDoesNotUnderstandAsItIs) {
  // A source without its target, and strings after the list's end: writing
  // back what was understood would lose another program's entries.
  const std::wstring noTarget = L"\\??\\C:\\Program Files\\Orvane\\Vornell\\a";
  std::wstring trailing = List({L"\\??\\C:\\Program Files\\Orvane\\Vornell\\a", L""});
  trailing += L"\\??\\C:\\elsewhere";
  trailing.push_back(L'\0');
  for (const std::wstring& data : {noTarget, trailing}) {
    const PendingClearing cleared = ClearOurPendingRenames(data, kFolder, SameIgnoringCase, DeleteUnlessLoaded);
    EXPECT_FALSE(cleared.wellFormed);
    EXPECT_EQ(cleared.dropped, 0u);
  }
  // Without its final terminators, as a careless writer may leave it.
  constexpr wchar_t kBare[] = L"\\??\\C:\\x\0\0\\??\\C:\\Program Files\\Orvane\\Vornell\\b\0\\??\\C:\\y";
  const std::wstring_view bare(kBare, std::size(kBare) - 1);
  const PendingClearing cleared = ClearOurPendingRenames(bare, kFolder, SameIgnoringCase, DeleteUnlessLoaded);
  EXPECT_TRUE(cleared.wellFormed);
  EXPECT_EQ(cleared.dropped, 1u);
  EXPECT_EQ(cleared.kept, List({L"\\??\\C:\\x", L""}));
}

}  // namespace
}  // namespace vornell
