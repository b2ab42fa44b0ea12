#pragma once
// Security attributes written in SDDL, for what the elevated program creates
// where a standard user must not reach it (the log file, the install lock).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

namespace vornell {

// A SID written out, "S-1-5-32-544"; empty when it cannot be.
std::wstring SidString(PSID sid);

// The account the process runs as, "S-1-5-18" for SYSTEM; empty when the
// system does not say.
std::wstring ProcessUserSid();

// Whether the process's token is elevated (an administrator past UAC, or SYSTEM).
bool ProcessElevated();

// SYSTEM and the Administrators only, with nothing inherited from the folder.
inline constexpr wchar_t kAdminsOnlyDacl[] = L"D:P(A;;GA;;;SY)(A;;GA;;;BA)";

class SecurityFromSddl {
 public:
  explicit SecurityFromSddl(const std::wstring& sddl);
  ~SecurityFromSddl();
  SecurityFromSddl(const SecurityFromSddl&) = delete;
  SecurityFromSddl& operator=(const SecurityFromSddl&) = delete;

  // nullptr when the text was refused: the caller then creates nothing
  // rather than create it open to everyone.
  SECURITY_ATTRIBUTES* Attributes() { return descriptor_ != nullptr ? &attributes_ : nullptr; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace vornell
