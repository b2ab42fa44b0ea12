#pragma once
// What several of Win32Services' files share; not part of any interface.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vornell {

// Copies `text` with its terminator into the caller's buffer; false with
// ERROR_INSUFFICIENT_BUFFER when it does not fit.
bool CopyOut(const std::string& text, char* buffer, std::size_t bufferSize);

// What a failed process start means in WinExec's terms (0 to 31).
std::uint32_t StartFailureResult(unsigned long error);

}  // namespace vornell
