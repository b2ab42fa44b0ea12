#pragma once
// Helpers the simulated machine's files share among themselves; tests do
// not use them.
#include <cstdint>
#include <string>
#include <string_view>

namespace vornell::sim_internal {

// Windows separators to POSIX ones, leaving the second byte of a GBK
// character alone.
std::string ToPosixSeparators(std::string_view path);

// The handles the machine hands out (device sets, walks, notifications)
// are numbers of its own.
inline void* HandleOf(std::uintptr_t id) { return reinterpret_cast<void*>(id); }
inline std::uintptr_t IdOf(void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

}  // namespace vornell::sim_internal
