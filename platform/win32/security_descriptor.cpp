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

}  // namespace vornell
