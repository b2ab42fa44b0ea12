// The simulated machine's files, kept in a real folder: paths, copies,
// attributes Linux cannot hold, folder walks, removals and verified copies.
#include "platform/simulated/simulated_machine.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>
#include <utility>

#include "platform/sha256.h"
#include "platform/simulated/simulated_internal.h"

namespace vornell {

namespace fs = std::filesystem;

using sim_internal::HandleOf;
using sim_internal::IdOf;
using sim_internal::ToPosixSeparators;

namespace {

char Capital(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows wildcard match: '*' any run, '?' one character, letters ignoring case.
bool MaskMatches(std::string_view mask, std::string_view name) {
  if (mask == "*.*") mask = "*";  // the old meaning: every name, with a dot or not
  std::size_t m = 0, n = 0, starMask = std::string_view::npos, starName = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Capital(mask[m]) == Capital(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starMask = m++;
      starName = n;
    } else if (starMask != std::string_view::npos) {
      m = starMask + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::string AttributeKey(const fs::path& file) { return SimulatedFileKey(file); }

constexpr std::uint32_t kDirNotEmpty = 145;
constexpr char kRenamedMark[] = ".vornell-removed-";

FileDigest DigestOf(const std::string& content) {
  Sha256 hash;
  hash.Add(content.data(), content.size());
  return FileDigest{content.size(), hash.HexDigest()};
}

}  // namespace

// ----- scripting -----

void SimulatedMachine::FailWalkAfter(std::size_t entries, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  walkFailsAfter_ = entries;
  walkError_ = error;
}

void SimulatedMachine::SetFileInUse(const std::string& path) {
  std::lock_guard lock(mutex_);
  filesInUse_.insert(AttributeKey(ResolveLocked(path)));
}

void SimulatedMachine::LetOthersWrite(const std::string& path, std::string reason) {
  std::lock_guard lock(mutex_);
  writableByOthers_[AttributeKey(ResolveLocked(path))] = std::move(reason);
}

void SimulatedMachine::FailCopyOf(std::string fileName, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  copyFailures_[std::move(fileName)] = error;
}

void SimulatedMachine::FailFullPath(std::uint32_t error) {
  std::lock_guard lock(mutex_);
  fullPathError_ = error;
}

void SimulatedMachine::HoldFile(const std::string& path, int times) {
  std::lock_guard lock(mutex_);
  heldFiles_[SimulatedFileKey(ResolveLocked(path))] = times;
}

// ----- helpers (called with the lock held) -----

std::uint32_t SimulatedMachine::AttributesOf(const fs::path& file) const {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  if (error || !fs::exists(status)) return kInvalidFileAttributes;
  const auto kept = attributes_.find(AttributeKey(file));
  if (fs::is_directory(status)) {
    std::uint32_t bits = kFileAttributeDirectory;
    if (kept != attributes_.end()) bits |= kept->second & ~kFileAttributeNormal;
    return bits;
  }
  // A file made on Windows carries the archive attribute.
  return kept != attributes_.end() ? kept->second : kFileAttributeArchive;
}

bool SimulatedMachine::ReadWholeLocked(const std::string& from, std::string& content) {
  const fs::path source = ResolveLocked(from);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(source, error);
  if (!fs::exists(status)) {
    SetError(fs::is_directory(source.parent_path(), error) ? sim_error::kFileNotFound : sim_error::kPathNotFound);
    return false;
  }
  if (!fs::is_regular_file(status)) {
    SetError(kErrorBadFileType);
    return false;
  }
  if (auto held = heldFiles_.find(SimulatedFileKey(source)); held != heldFiles_.end() && held->second > 0) {
    --held->second;
    SetError(kErrorSharingViolation);
    return false;
  }
  std::ifstream in(source, std::ios::binary);
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::string SimulatedMachine::ScheduleRenamedLocked(const fs::path& file) {
  fs::path renamed = file;
  renamed += kRenamedMark + std::to_string(++renamedFiles_);
  std::error_code error;
  fs::rename(file, renamed, error);
  std::string path = renamed.string();
  pendingRemovals_.push_back(path);
  return path;
}

// ----- Services -----

bool SimulatedMachine::OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) {
  std::lock_guard lock(mutex_);
  Record("OnlyAdministratorsMayWrite", {path});
  reason.clear();
  if (Injected(sim_error::kAccessDenied)) {
    reason = "its owner and access list could not be read";
    return false;
  }
  const auto found = writableByOthers_.find(AttributeKey(ResolveLocked(path)));
  if (found == writableByOthers_.end()) return true;
  reason = found->second;
  SetError(sim_error::kAccessDenied);
  return false;
}

bool SimulatedMachine::FullPath(const std::string& path, std::string& full) {
  std::lock_guard lock(mutex_);
  Record("FullPath", {path});
  full.clear();
  if (Injected(sim_error::kAccessDenied)) return false;
  if (fullPathError_ != 0 || path.empty()) {
    SetError(fullPathError_ != 0 ? fullPathError_ : sim_error::kInvalidParameter);
    return false;
  }
  // The resolved folder, written back with Windows separators ('/' is never
  // part of a GBK character).
  full = ResolveLocked(path).string();
  std::replace(full.begin(), full.end(), '/', '\\');
  return true;
}

bool SimulatedMachine::PathExists(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("PathExists", {path});
  if (Injected(sim_error::kAccessDenied)) return false;
  std::error_code error;
  const bool exists = !path.empty() && fs::exists(ResolveLocked(path), error);
  if (!exists) SetError(sim_error::kFileNotFound);
  return exists;
}

bool SimulatedMachine::CreateFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("CreateFolder", {path});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path folder = ResolveLocked(path);
  std::error_code error;
  if (fs::exists(folder, error)) {
    SetError(sim_error::kAlreadyExists);
    return false;
  }
  if (!fs::is_directory(folder.parent_path(), error)) {
    SetError(sim_error::kPathNotFound);
    return false;
  }
  if (!fs::create_directory(folder, error)) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  return true;
}

bool SimulatedMachine::CopyFileTo(const std::string& from, const std::string& to,
                                  bool failIfExists) {
  std::lock_guard lock(mutex_);
  Record("CopyFileTo", {from, to}, {failIfExists ? 1u : 0u});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path source = ResolveLocked(from);
  const fs::path target = ResolveLocked(to);
  auto fail = [&](std::uint32_t code) {
    SetError(code);
    return false;
  };
  if (const auto scripted = copyFailures_.find(source.filename().string());
      scripted != copyFailures_.end()) {
    return fail(scripted->second);
  }
  std::error_code error;
  const fs::file_status sourceStatus = fs::status(source, error);
  if (!fs::exists(sourceStatus)) return fail(sim_error::kFileNotFound);
  if (fs::is_directory(sourceStatus)) return fail(sim_error::kAccessDenied);
  if (!fs::is_directory(target.parent_path(), error)) return fail(sim_error::kPathNotFound);
  const fs::file_status targetStatus = fs::status(target, error);
  if (fs::exists(targetStatus)) {
    if (failIfExists) return fail(sim_error::kFileExists);
    if (fs::is_directory(targetStatus)) return fail(sim_error::kAccessDenied);
    if ((AttributesOf(target) & kFileAttributeReadOnly) != 0) return fail(sim_error::kAccessDenied);
  }
  if (!fs::copy_file(source, target, fs::copy_options::overwrite_existing, error)) {
    return fail(sim_error::kAccessDenied);
  }
  // A copy takes its source's attributes along.
  const auto kept = attributes_.find(AttributeKey(source));
  if (kept != attributes_.end()) {
    attributes_[AttributeKey(target)] = kept->second;
  } else {
    attributes_.erase(AttributeKey(target));
  }
  return true;
}

std::uint32_t SimulatedMachine::GetAttributes(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("GetAttributes", {path});
  if (Injected(sim_error::kAccessDenied)) return kInvalidFileAttributes;
  const std::uint32_t attributes = AttributesOf(ResolveLocked(path));
  if (attributes == kInvalidFileAttributes) SetError(sim_error::kFileNotFound);
  return attributes;
}

bool SimulatedMachine::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::lock_guard lock(mutex_);
  Record("SetAttributes", {path}, {attributes});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path file = ResolveLocked(path);
  if (AttributesOf(file) == kInvalidFileAttributes) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  // The directory bit is the file system's; "normal" stands only alone.
  std::uint32_t kept = attributes & ~kFileAttributeDirectory;
  if ((kept & ~kFileAttributeNormal) != 0) kept &= ~kFileAttributeNormal;
  if (kept == 0) kept = kFileAttributeNormal;
  attributes_[AttributeKey(file)] = kept;
  return true;
}

FindHandle SimulatedMachine::FindFirst(const std::string& pattern, FindData& data) {
  std::lock_guard lock(mutex_);
  Record("FindFirst", {pattern});
  if (Injected(sim_error::kAccessDenied)) return nullptr;
  const std::string text = ToPosixSeparators(pattern);
  const std::size_t slash = text.rfind('/');
  const std::string mask = slash == std::string::npos ? text : text.substr(slash + 1);
  const fs::path folder =
      ResolveLocked(slash == std::string::npos ? std::string(".") : text.substr(0, slash + 1));
  std::error_code error;
  if (mask.empty() || !fs::is_directory(folder, error)) {
    SetError(mask.empty() ? sim_error::kFileNotFound : sim_error::kPathNotFound);
    return nullptr;
  }
  Walk walk;
  for (const char* dots : {".", ".."}) {
    if (MaskMatches(mask, dots)) walk.entries.push_back(FindData{dots, kFileAttributeDirectory});
  }
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::string name = entry.path().filename().string();
    if (MaskMatches(mask, name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());  // a fixed order, whatever the file system gives
  for (std::string& name : names) {
    const std::uint32_t attributes = AttributesOf(folder / name);
    std::error_code sizeError;
    const std::uintmax_t bytes = fs::is_regular_file(folder / name, sizeError) ? fs::file_size(folder / name, sizeError) : 0;
    walk.entries.push_back(FindData{std::move(name), attributes, sizeError ? 0 : bytes});
  }
  if (walk.entries.empty()) {
    SetError(sim_error::kFileNotFound);
    return nullptr;
  }
  data = walk.entries[0];
  walk.next = 1;
  const std::uintptr_t id = nextHandle_++;
  walks_.emplace(id, std::move(walk));
  return HandleOf(id);
}

bool SimulatedMachine::FindNext(FindHandle handle, FindData& data) {
  std::lock_guard lock(mutex_);
  Record("FindNext");
  if (Injected(sim_error::kAccessDenied)) return false;
  const auto found = walks_.find(IdOf(handle));
  if (found == walks_.end()) {
    ++badHandleUses_;
    SetError(sim_error::kInvalidHandle);
    return false;
  }
  Walk& walk = found->second;
  if (walk.next >= walkFailsAfter_) {
    SetError(walkError_);
    return false;
  }
  if (walk.next >= walk.entries.size()) {
    SetError(sim_error::kNoMoreFiles);
    return false;
  }
  data = walk.entries[walk.next++];
  return true;
}

void SimulatedMachine::FindEnd(FindHandle handle) {
  std::lock_guard lock(mutex_);
  Record("FindEnd");
  if (walks_.erase(IdOf(handle)) == 0) ++badHandleUses_;
}

bool SimulatedMachine::RemoveFile(const std::string& path, bool& atRestart) {
  std::lock_guard lock(mutex_);
  Record("RemoveFile", {path});
  atRestart = false;
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path file = ResolveLocked(path);
  std::error_code error;
  if (!fs::is_regular_file(file, error)) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  if (filesInUse_.count(AttributeKey(file)) != 0) {
    ScheduleRenamedLocked(file);
    atRestart = true;
    return true;
  }
  fs::remove(file, error);
  return true;
}

bool SimulatedMachine::RemoveFolder(const std::string& path) {
  std::lock_guard lock(mutex_);
  Record("RemoveFolder", {path});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path folder = ResolveLocked(path);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  if (!fs::is_empty(folder, error)) {
    SetError(kDirNotEmpty);
    return false;
  }
  fs::remove(folder, error);
  return true;
}

bool SimulatedMachine::MoveFileTo(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  Record("MoveFileTo", {from, to});
  if (Injected(sim_error::kAccessDenied)) return false;
  const fs::path source = ResolveLocked(from);
  const fs::path target = ResolveLocked(to);
  std::error_code error;
  if (!fs::is_regular_file(source, error)) {
    SetError(sim_error::kFileNotFound);
    return false;
  }
  const std::uint32_t targetAttributes = AttributesOf(target);
  if (targetAttributes != kInvalidFileAttributes &&
      ((targetAttributes & kFileAttributeDirectory) != 0 || (targetAttributes & kFileAttributeReadOnly) != 0)) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  fs::rename(source, target, error);
  if (error) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  attributes_.erase(SimulatedFileKey(target));
  if (auto kept = attributes_.find(SimulatedFileKey(source)); kept != attributes_.end()) {
    attributes_[SimulatedFileKey(target)] = kept->second;
    attributes_.erase(kept);
  }
  return true;
}

bool SimulatedMachine::CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) {
  std::lock_guard lock(mutex_);
  Record("CopyVerifiedFile", {from, to});
  digest = FileDigest{};
  if (Injected(sim_error::kAccessDenied)) return false;
  std::string content;
  if (!ReadWholeLocked(from, content)) return false;
  const fs::path target = ResolveLocked(to);
  std::error_code error;
  if (!fs::is_directory(target.parent_path(), error)) {
    SetError(sim_error::kPathNotFound);
    return false;
  }
  if (fs::is_directory(target, error)) {
    SetError(sim_error::kAccessDenied);
    return false;
  }
  std::ofstream(target, std::ios::binary | std::ios::trunc).write(content.data(),
                                                                  static_cast<std::streamsize>(content.size()));
  // Written anew: none of the source's attributes come along.
  attributes_.erase(SimulatedFileKey(target));
  digest = DigestOf(content);
  return true;
}

bool SimulatedMachine::HashFile(const std::string& path, FileDigest& digest) {
  std::lock_guard lock(mutex_);
  Record("HashFile", {path});
  digest = FileDigest{};
  if (Injected(sim_error::kAccessDenied)) return false;
  std::string content;
  if (!ReadWholeLocked(path, content)) return false;
  digest = DigestOf(content);
  return true;
}

}  // namespace vornell
