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

std::wstring ProcessUserSid() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info{};
  DWORD size = 0;
  wchar_t* text = nullptr;
  std::wstring sid;
  if (::GetTokenInformation(token, TokenUser, &info, sizeof info, &size) &&
      ::ConvertSidToStringSidW(info.user.User.Sid, &text)) {
    sid = text;
    ::LocalFree(text);
  }
  ::CloseHandle(token);
  return sid;
}

}  // namespace vornell
