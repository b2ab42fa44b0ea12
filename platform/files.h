#pragma once
// Files and folders, by GBK path (names in windows.h are macros, hence
// names of our own): looks, copies, walks, removal, the verified reading of
// the driver package, and who may write a path.
#include <cstdint>
#include <string>

#include "platform/system_errors.h"

namespace vornell {

struct FindData {
  std::string name;  // GBK, no folder
  std::uint32_t attributes = 0;
  std::uint64_t size = 0;  // bytes, for a file
};

// A file as read whole: its size and SHA-256 (64 lowercase hex digits).
struct FileDigest {
  std::uint64_t size = 0;
  std::string sha256;
};

constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
constexpr std::uint32_t kFileAttributeDirectory = 0x10;
constexpr std::uint32_t kFileAttributeArchive = 0x20;
constexpr std::uint32_t kFileAttributeNormal = 0x80;
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400;  // a link, junction or mount point

// A first/next-file walk; null when the walk could not start.
using FindHandle = void*;

class Files : public virtual SystemErrors {
 public:
  // `path` made absolute against the process's current directory; false
  // when that fails or the full path has no GBK form.
  virtual bool FullPath(const std::string& path, std::string& full) = 0;
  virtual bool PathExists(const std::string& path) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool CopyFileTo(const std::string& from, const std::string& to, bool failIfExists) = 0;
  virtual std::uint32_t GetAttributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, std::uint32_t attributes) = 0;
  virtual FindHandle FindFirst(const std::string& pattern, FindData& data) = 0;
  virtual bool FindNext(FindHandle walk, FindData& data) = 0;
  virtual void FindEnd(FindHandle walk) = 0;
  // Deletes a file; one in use is renamed to a name of its own in the same
  // folder, and that name goes at the next restart (`atRestart`), so that
  // a later install of the same file is not deleted by that restart.
  virtual bool RemoveFile(const std::string& path, bool& atRestart) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(const std::string& path) = 0;
  // Renames `from` to `to` in the same volume, replacing a file there.
  virtual bool MoveFileTo(const std::string& from, const std::string& to) = 0;
  // Reads the file `from` once and writes what it read to `to`, created
  // anew (replacing a file there; no read-only flag, no stream but the
  // data), hashing it on the way. `from` is opened without following a
  // link or junction, as nobody else's client (a named pipe learns
  // nothing), shared for reading only, so nobody writes, renames or deletes
  // it meanwhile, and must be a file on disk (else error 222). On failure
  // `to` is gone again.
  virtual bool CopyVerifiedFile(const std::string& from, const std::string& to, FileDigest& digest) = 0;
  // The same reading, hashing only.
  virtual bool HashFile(const std::string& path, FileDigest& digest) = 0;
  // True when only administrators may write `path` (a file or a folder):
  // its owner is SYSTEM, the Administrators or TrustedInstaller, and no
  // entry of its access list lets any other account write, add, delete or
  // change its permissions. False, with `reason`, otherwise, and when its
  // security cannot be read.
  virtual bool OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) = 0;
};

Files& GetFiles();

}  // namespace vornell
