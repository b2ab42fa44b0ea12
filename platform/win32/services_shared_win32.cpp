#include "platform/win32/services_shared_win32.h"

#include <cstring>

namespace vornell {

bool CopyOut(const std::string& text, char* buffer, std::size_t bufferSize) {
  if (buffer == nullptr || text.size() >= bufferSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

std::uint32_t StartFailureResult(unsigned long error) {
  switch (error) {
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_NO_SYSTEM_RESOURCES:
    case ERROR_COMMITMENT_LIMIT:
      return 0;  // out of memory or resources
    default:
      // As the system's own WinExec: a small code is its own answer; any
      // other cannot be told apart from a file that is no program.
      return error < 32 ? static_cast<std::uint32_t>(error) : ERROR_BAD_FORMAT;
  }
}

}  // namespace vornell
