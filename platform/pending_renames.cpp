#include "platform/pending_renames.h"

#include <vector>

namespace vornell {

namespace {

// The path as the program names it: without the NT prefix ("\??\") the
// system writes, and without a final backslash.
std::wstring_view Plain(std::wstring_view path) {
  if (path.substr(0, 4) == L"\\??\\" || path.substr(0, 4) == L"\\\\?\\") path.remove_prefix(4);
  while (path.size() > 3 && path.back() == L'\\') path.remove_suffix(1);
  return path;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix, const SameNames& same) {
  return text.size() >= prefix.size() && same(text.substr(0, prefix.size()), prefix);
}

bool CarriesRemovedMark(std::wstring_view path, const SameNames& same) {
  const std::wstring_view name = path.substr(path.find_last_of(L'\\') + 1);
  const std::wstring_view mark = kRemovedMark;
  for (std::size_t at = 0; at + mark.size() <= name.size(); ++at) {
    if (same(name.substr(at, mark.size()), mark)) return true;
  }
  return false;
}

}  // namespace

PendingClearing ClearOurPendingRenames(std::wstring_view data, std::wstring_view programFolder,
                                       const SameNames& same, const DeleteNow& deleteNow) {
  PendingClearing result;
  // The strings up to the list's end: an empty source, or the data's end.
  std::vector<std::wstring_view> strings;
  std::size_t at = 0;
  while (at < data.size()) {
    const std::size_t zero = data.find(L'\0', at);
    const std::wstring_view text = data.substr(at, zero == std::wstring_view::npos ? std::wstring_view::npos : zero - at);
    at = zero == std::wstring_view::npos ? data.size() : zero + 1;
    if (text.empty() && strings.size() % 2 == 0) {
      // The list's end: whatever follows must be terminators, or this is
      // not a list we understand and another program's entries could be lost.
      if (data.find_first_not_of(L'\0', at) != std::wstring_view::npos) return result;
      break;
    }
    strings.push_back(text);
  }
  // A target (or the empty string of a deletion) belongs to every source.
  if (strings.size() % 2 != 0) return result;
  result.wellFormed = true;

  const std::wstring_view folder = Plain(programFolder);
  // The parent, "...\Orvane", never a drive's root.
  const std::size_t slash = folder.find_last_of(L'\\');
  std::wstring_view parent = slash == std::wstring_view::npos ? std::wstring_view() : folder.substr(0, slash);
  if (parent.find(L'\\') == std::wstring_view::npos) parent = {};
  const std::wstring inside = std::wstring(folder) + L'\\';
  for (std::size_t i = 0; i < strings.size(); i += 2) {
    const std::wstring_view source = Plain(strings[i]);
    // Only deletions: a rename is not what our removals schedule.
    const bool ours = CarriesRemovedMark(source, same) && strings[i + 1].empty()
                          ? deleteNow(source)
                          : (!folder.empty() && (same(source, folder) || StartsWith(source, inside, same))) ||
                                (!parent.empty() && same(source, parent));
    if (ours) {
      ++result.dropped;
      continue;
    }
    for (std::size_t j = i; j < i + 2; ++j) {
      result.kept.append(strings[j]);
      result.kept.push_back(L'\0');
    }
  }
  if (!result.kept.empty()) result.kept.push_back(L'\0');
  return result;
}

}  // namespace vornell
