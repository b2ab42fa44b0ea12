#include "platform/write_access.h"

#include <string_view>

namespace vornell {

namespace {

// The accounts that may own or write what an elevated installer trusts:
// anyone else could have put or changed it there.
constexpr std::string_view kAdministrativeSids[] = {
    "S-1-5-18",      // SYSTEM
    "S-1-5-32-544",  // the Administrators
    "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",  // TrustedInstaller
};

struct NamedSid {
  std::string_view sid;
  const char* name;
};
// Names for the log where a well-known account is the one that may write.
constexpr NamedSid kWellKnown[] = {
    {"S-1-1-0", "Everyone"},
    {"S-1-5-32-545", "Users"},
    {"S-1-5-11", "Authenticated Users"},
    {"S-1-5-4", "INTERACTIVE"},
    {"S-1-5-2", "NETWORK"},
    {"S-1-3-0", "CREATOR OWNER"},
    {"S-1-3-4", "OWNER RIGHTS"},
    {"S-1-5-32-547", "Power Users"},
    {"S-1-15-2-1", "ALL APPLICATION PACKAGES"},
};

// Rights that let a holder change what the object holds or is: write or
// append data (for a folder: add files or folders), extended attributes,
// attributes (with them an empty folder becomes a junction), delete it or
// its children, change its access list or owner, and the generic forms.
constexpr std::uint32_t kWriteRights = 0x00000002 | 0x00000004 | 0x00000010 | 0x00000040 | 0x00000100 |
                                       0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;

bool IsAdministrative(std::string_view sid) {
  for (std::string_view trusted : kAdministrativeSids) {
    if (sid == trusted) return true;
  }
  return false;
}

std::string Named(std::string_view sid) {
  if (sid.empty()) return "an account that could not be read";
  for (const NamedSid& known : kWellKnown) {
    if (sid == known.sid) return known.name;
  }
  return std::string(sid);
}

}  // namespace

std::string WhyOthersMayWrite(const WriteSecurity& security) {
  const auto trusted = [&security](std::string_view sid) {
    return IsAdministrative(sid) || (!security.elevatedSelfSid.empty() && sid == security.elevatedSelfSid);
  };
  if (!trusted(security.ownerSid)) {
    return "owned by " + (security.ownerSid.empty() ? std::string("nobody known") : Named(security.ownerSid)) +
           ", not by SYSTEM or the administrators";
  }
  if (!security.hasAccessList) return "it has no access list: everyone may write it";
  for (const AccessEntry& entry : security.entries) {
    if (!entry.allows || entry.inheritOnly || (entry.mask & kWriteRights) == 0) continue;
    if (!trusted(entry.sid)) return Named(entry.sid) + " may write to it";
  }
  return {};
}

}  // namespace vornell
