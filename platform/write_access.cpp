#include "platform/write_access.h"

#include <string_view>

namespace vornell {

namespace {

constexpr std::string_view kSystem = "S-1-5-18";
constexpr std::string_view kAdministrators = "S-1-5-32-544";
constexpr std::string_view kTrustedInstaller = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

struct NamedSid {
  std::string_view sid;
  const char* name;
};
constexpr NamedSid kEveryoneish[] = {
    {"S-1-1-0", "Everyone"},
    {"S-1-5-32-545", "Users"},
    {"S-1-5-11", "Authenticated Users"},
    {"S-1-5-4", "INTERACTIVE"},
};

// Rights that let a holder change what the object holds or is: write or
// append data (for a folder: add files or folders), delete it or its
// children, change its access list or owner, and the generic forms.
constexpr std::uint32_t kWriteRights = 0x00000002 | 0x00000004 | 0x00000040 | 0x00010000 | 0x00040000 |
                                       0x00080000 | 0x10000000 | 0x40000000;

// A domain's Domain Admins (-512) or Enterprise Admins (-519): the owners of
// files on a domain's SYSVOL.
bool IsDomainAdministrators(std::string_view sid) {
  if (sid.substr(0, 9) != "S-1-5-21-") return false;
  return sid.ends_with("-512") || sid.ends_with("-519");
}

}  // namespace

std::string WhyOthersMayWrite(const WriteSecurity& security) {
  const std::string_view owner = security.ownerSid;
  if (owner != kSystem && owner != kAdministrators && owner != kTrustedInstaller && !IsDomainAdministrators(owner)) {
    return "owned by " + (owner.empty() ? std::string("nobody known") : std::string(owner)) +
           ", not by SYSTEM or the administrators";
  }
  if (!security.hasAccessList) return "it has no access list: everyone may write it";
  for (const AccessEntry& entry : security.entries) {
    if (!entry.allows || entry.inheritOnly || (entry.mask & kWriteRights) == 0) continue;
    for (const NamedSid& other : kEveryoneish) {
      if (entry.sid == other.sid) return std::string(other.name) + " may write to it";
    }
  }
  return {};
}

}  // namespace vornell
