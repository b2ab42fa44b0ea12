#include "platform/error_names.h"

#include <array>

namespace vornell {

namespace {

using enum DriverRefusal;

constexpr std::array<KnownError, 14> kKnown{{
    {kErrorAuthenticodeTrustNotEstablished, "ERROR_AUTHENTICODE_TRUST_NOT_ESTABLISHED",
     "the package is signed, but Windows does not trust its publisher yet and nobody may be asked",
     kPublisherNotTrusted},
    {kErrorAuthenticodePublisherNotTrusted, "ERROR_AUTHENTICODE_PUBLISHER_NOT_TRUSTED",
     "the publisher of the package's signature is not trusted", kPublisherNotTrusted},
    {kCertUntrustedRoot, "CERT_E_UNTRUSTEDROOT",
     "the signature's certificate chain ends in a root Windows does not trust", kPublisherNotTrusted},
    {kTrustSubjectNotTrusted, "TRUST_E_SUBJECT_NOT_TRUSTED", "the signature is not trusted",
     kPublisherNotTrusted},
    {kErrorAuthenticodeDisallowed, "ERROR_AUTHENTICODE_DISALLOWED",
     "the publisher's certificate is in the machine's Untrusted Certificates store", kPublisherForbidden},
    {kErrorNoCatalogForOemInf, "ERROR_NO_CATALOG_FOR_OEM_INF",
     "the INF names no catalog, or the catalog is missing: the package is unsigned", kSignatureInvalid},
    {kTrustNoSignature, "TRUST_E_NOSIGNATURE", "the package carries no signature", kSignatureInvalid},
    {kErrorFileHashNotInCatalog, "ERROR_FILE_HASH_NOT_IN_CATALOG",
     "a file of the package is not the one its signed catalog lists", kSignatureInvalid},
    {kTrustBadDigest, "TRUST_E_BAD_DIGEST", "the catalog changed after it was signed", kSignatureInvalid},
    {kCertExpired, "CERT_E_EXPIRED",
     "the signing certificate has expired and the signature has no time stamp", kSignatureInvalid},
    {kErrorSignatureOsAttributeMismatch, "ERROR_SIGNATURE_OSATTRIBUTE_MISMATCH",
     "the catalog is not signed for this version of Windows", kSignatureInvalid},
    {kErrorDriverStoreAddFailed, "ERROR_DRIVER_STORE_ADD_FAILED",
     "the driver store refused the package, usually for its signature (setupapi.dev.log says why)",
     kSignatureInvalid},
    {kErrorDriverInstallBlocked, "ERROR_DRIVER_INSTALL_BLOCKED", "a policy blocks this driver's installation",
     kPolicyBlocked},
    {kErrorPrinterDriverBlocked, "ERROR_PRINTER_DRIVER_BLOCKED",
     "Windows blocks third-party printer drivers here (Windows protected print mode, or a driver block list)",
     kPolicyBlocked},
}};

}  // namespace

const KnownError* FindDriverRefusal(std::uint32_t code) {
  for (const KnownError& known : kKnown) {
    if (known.code == code) return &known;
  }
  return nullptr;
}

}  // namespace vornell
