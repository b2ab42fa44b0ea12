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
  // An allowing entry, conditional and object ones included (their
  // condition may hold); denying ones grant nothing.
  bool allows = true;
  bool inheritOnly = false;  // for children only, not the object itself
};

struct WriteSecurity {
  std::string ownerSid;
  bool hasAccessList = true;  // false: no DACL at all, everyone may do anything
  std::vector<AccessEntry> entries;
  // The account of this process when it runs elevated: what it owns or may
  // write, only it or an administrator made so. On Windows that is a
  // user's folder under Program Files with UAC off; under Wine, every file.
  std::string elevatedSelfSid;
};

// Empty when the owner is SYSTEM, the Administrators, TrustedInstaller or
// the elevated account itself, and no entry for any other account grants a
// right to change the object;
// otherwise why not, naming the account, for the log.
std::string WhyOthersMayWrite(const WriteSecurity& security);

}  // namespace vornell
