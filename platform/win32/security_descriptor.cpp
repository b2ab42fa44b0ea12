#include "platform/win32/security_descriptor.h"

#include <sddl.h>

namespace vornell {

SecurityFromSddl::SecurityFromSddl(const std::wstring& sddl) {
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_,
                                                               nullptr)) {
    descriptor_ = nullptr;
    return;
  }
  attributes_.nLength = sizeof attributes_;
  attributes_.lpSecurityDescriptor = descriptor_;
  attributes_.bInheritHandle = FALSE;
}

SecurityFromSddl::~SecurityFromSddl() {
  if (descriptor_ != nullptr) ::LocalFree(descriptor_);
}

std::wstring SidString(PSID sid) {
  wchar_t* text = nullptr;
  if (sid == nullptr || !::ConvertSidToStringSidW(sid, &text)) return {};
  std::wstring written = text;
  ::LocalFree(text);
  return written;
}

std::wstring ProcessUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info{};
  DWORD size = 0;
  const std::wstring sid =
      ::GetTokenInformation(token, TokenUser, &info, sizeof info, &size) ? SidString(info.user.User.Sid) : L"";
  ::CloseHandle(token);
  return sid;
}

bool ProcessElevated() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const bool elevated = ::GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
                        elevation.TokenIsElevated != 0;
  ::CloseHandle(token);
  return elevated;
}

}  // namespace vornell
