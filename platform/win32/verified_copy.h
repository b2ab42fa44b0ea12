#pragma once
// Files read whole through a handle: the verified copies of the package and
// the program copy made from the program's own open file.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/sha256.h"

namespace vornell {

// Reads `from` from its start to its end, hashing what it reads and, when
// `to` is not null, writing all of it there. False, with the error of the
// call that failed, otherwise.
bool CopyWhole(HANDLE from, HANDLE to, Sha256& hash, std::uint64_t& size);

// Deletes a file this process just created (opened with DELETE access)
// through its handle, which it closes; by name where that is refused. The
// last error stays as it was: it tells why the file goes.
void DiscardCreatedFile(HANDLE file, const std::wstring& path);

}  // namespace vornell
