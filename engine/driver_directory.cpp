#include "engine/driver_directory.h"

#include <cstring>

#include "platform/spooler.h"

namespace vornell {

namespace {
constexpr char kSuffix[] = "\\3";  // with its terminating zero
}

bool FetchPrinterDriverDirectory(std::array<char, kPrinterDriverDirectorySize>& buffer) {
  static_assert(kPrinterDriverDirectoryFetchSize + sizeof(kSuffix) - 1 <= kPrinterDriverDirectorySize,
                "the suffix must fit after the longest fetched path");
  buffer.fill('\0');
  if (!GetSpooler().GetDriverDirectory(buffer.data(), kPrinterDriverDirectoryFetchSize)) {
    buffer.fill('\0');
    return false;
  }
  // Trust only a path that ends inside the bytes the call was allowed to write.
  const void* end = std::memchr(buffer.data(), '\0', kPrinterDriverDirectoryFetchSize);
  const std::size_t length =
      end == nullptr ? kPrinterDriverDirectoryFetchSize
                     : static_cast<std::size_t>(static_cast<const char*>(end) - buffer.data());
  if (end == nullptr || length == 0 || length + sizeof(kSuffix) > buffer.size()) {
    buffer.fill('\0');
    return false;
  }
  std::memcpy(buffer.data() + length, kSuffix, sizeof(kSuffix));
  return true;
}

}  // namespace vornell
