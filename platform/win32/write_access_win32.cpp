// Who may write a file or folder, as the real system reports its owner and
// access list; the decision is platform/write_access.cpp's.
#include <windows.h>
#include <aclapi.h>

#include <cstddef>
#include <string>
#include <utility>

#include "platform/win32/gbk_wide.h"
#include "platform/win32/security_descriptor.h"
#include "platform/win32/services_win32.h"
#include "platform/win32/win32_call.h"
#include "platform/write_access.h"

namespace vornell {

namespace {

// A SID as the trust decision reads it: plain ASCII, so GBK as it stands.
std::string SidText(PSID sid) { return LenientGbk(SidString(sid)); }

// An entry of an access list that grants something, as the decision reads
// it; false for one that only denies or audits. Callback (conditional) and
// object entries grant too, to whoever their condition lets in: they count
// as allowing. One whose account cannot be read keeps an empty SID, which
// the decision refuses.
bool ReadAllowingEntry(const ACE_HEADER* header, AccessEntry& entry) {
  const BYTE* const start = reinterpret_cast<const BYTE*>(header);
  const BYTE* sid = nullptr;
  const bool hasMask = header->AceSize >= sizeof(ACE_HEADER) + sizeof(ACCESS_MASK);
  switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
      sid = reinterpret_cast<const BYTE*>(&reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->SidStart);
      break;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
      // The two GUIDs are there only when their flags say so.
      const auto* object = reinterpret_cast<const ACCESS_ALLOWED_OBJECT_ACE*>(header);
      if (header->AceSize < offsetof(ACCESS_ALLOWED_OBJECT_ACE, ObjectType)) break;
      sid = reinterpret_cast<const BYTE*>(&object->ObjectType);
      if (object->Flags & ACE_OBJECT_TYPE_PRESENT) sid += sizeof(GUID);
      if (object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) sid += sizeof(GUID);
      break;
    }
    case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
      break;  // grants to a server acting for a client: no one account to name
    default:
      return false;
  }
  // The mask follows the header in every allowing type; an entry too short
  // to hold one is taken to grant everything.
  entry.mask = hasMask ? reinterpret_cast<const ACCESS_ALLOWED_ACE*>(header)->Mask : 0xFFFFFFFFu;
  entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
  const std::size_t at = sid != nullptr ? static_cast<std::size_t>(sid - start) : header->AceSize;
  PSID account = const_cast<BYTE*>(sid);
  if (at + offsetof(SID, SubAuthority) <= header->AceSize && IsValidSid(account) &&
      at + GetLengthSid(account) <= header->AceSize) {
    entry.sid = SidText(account);
  }
  return true;
}

}  // namespace

bool Win32Services::OnlyAdministratorsMayWrite(const std::string& path, std::string& reason) {
  CallError callError;
  reason.clear();
  std::wstring full;
  if (!WideInfPath(path, full)) {
    callError.Note();
    reason = "its path could not be made whole";
    return false;
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD status = GetNamedSecurityInfoW(full.c_str(), SE_FILE_OBJECT,
                                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                             nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) {
    SetLastError(status);
    callError.Note();
    reason = "its owner and access list could not be read";
    return false;
  }
  WriteSecurity security;
  security.ownerSid = SidText(owner);
  if (ProcessElevated()) security.elevatedSelfSid = LenientGbk(ProcessUserSid());
  security.hasAccessList = dacl != nullptr;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    AccessEntry entry;
    // Denying entries are left out, which can only make the check stricter.
    if (!ReadAllowingEntry(static_cast<const ACE_HEADER*>(ace), entry)) continue;
    security.entries.push_back(std::move(entry));
  }
  LocalFree(descriptor);
  SetLastError(ERROR_SUCCESS);
  callError.Note();
  reason = WhyOthersMayWrite(security);
  if (reason.empty()) return true;
  SetLastError(ERROR_ACCESS_DENIED);
  callError.Note();
  return false;
}

}  // namespace vornell
