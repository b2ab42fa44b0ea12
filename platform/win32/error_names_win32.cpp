// The refusal codes the program names itself, checked against the ones
// mingw's headers have.
#include <windows.h>
#include <setupapi.h>

#include "platform/error_names.h"
#include "platform/system_errors.h"

namespace vornell {
static_assert(kErrorNoCatalogForOemInf == ERROR_NO_CATALOG_FOR_OEM_INF);
static_assert(kErrorAuthenticodeDisallowed == ERROR_AUTHENTICODE_DISALLOWED);
static_assert(kErrorAuthenticodeTrustNotEstablished == ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED);
static_assert(kErrorAuthenticodePublisherNotTrusted == ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED);
static_assert(kErrorSignatureOsAttributeMismatch == ERROR_SIGNATURE_OSATTRIBUTE_MISMATCH);
// mingw's list ends at 0x245; Windows' goes on in order from there.
static_assert(ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE == 0xE0000245);
static_assert(kErrorDeviceInstallerNotReady == ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE + 1);
static_assert(kErrorDriverStoreAddFailed == ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE + 2);
static_assert(kErrorDeviceInstallBlocked == ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE + 3);
static_assert(kErrorDriverInstallBlocked == ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE + 4);
static_assert(kErrorFileHashNotInCatalog == ERROR_ONLY_VALIDATE_VIA_AUTHENTICODE + 6);
static_assert(kTrustNoSignature == static_cast<std::uint32_t>(TRUST_E_NOSIGNATURE));
static_assert(kCertExpired == static_cast<std::uint32_t>(CERT_E_EXPIRED));
static_assert(kCertUntrustedRoot == static_cast<std::uint32_t>(CERT_E_UNTRUSTEDROOT));
static_assert(kTrustSubjectNotTrusted == static_cast<std::uint32_t>(TRUST_E_SUBJECT_NOT_TRUSTED));
static_assert(kTrustBadDigest == static_cast<std::uint32_t>(TRUST_E_BAD_DIGEST));
static_assert(kErrorPrinterDriverBlocked == ERROR_PRINTER_DRIVER_BLOCKED);
}  // namespace vornell
