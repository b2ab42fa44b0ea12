#pragma once
// Who may write a file or folder, decided from its owner and access list as
// the system reports them. A package that SYSTEM installs must come from
// where only administrators could have put it.
#include <cstdint>
#include <string>
#include <vector>

namespace vornell {

struct AccessEntry {
  std::string sid;  // "S-1-5-32-545"
  std::uint32_t mask = 0;
  bool allows = true;       // an allowing entry; denying ones grant nothing
  bool inheritOnly = false;  // for children only, not the object itself
};

struct WriteSecurity {
  std::string ownerSid;
  bool hasAccessList = true;  // false: no DACL at all, everyone may do anything
  std::vector<AccessEntry> entries;
};

// Empty when only administrators may write; otherwise why not, for the log.
std::string WhyOthersMayWrite(const WriteSecurity& security);

}  // namespace vornell
