#pragma once
#include <array>
#include <string>
namespace vornell {
inline constexpr int kLicenseEntryCount = 52;
// GBK bytes (the sources are UTF-8; the compiler turns narrow literals into GBK).
extern const std::array<const char*, kLicenseEntryCount> licenseEntries;
// Entry 0, then lineBreak before each further entry, then one lineBreak at the end.
std::string ComposeLicenseText(const std::string& lineBreak);
}
