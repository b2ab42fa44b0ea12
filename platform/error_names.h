#pragma once
// Codes Windows gives for a driver package it will not trust or take, with
// the names its headers give them: the log names each, the wizard and the
// unattended mode say what to do. mingw's headers lack some; the win32 half
// checks ours against those it has.
#include <cstdint>

namespace vornell {

constexpr std::uint32_t kErrorNoCatalogForOemInf = 0xE000022F;
constexpr std::uint32_t kErrorAuthenticodeDisallowed = 0xE0000240;
constexpr std::uint32_t kErrorAuthenticodeTrustNotEstablished = 0xE0000242;  // unattended, untrusted publisher
constexpr std::uint32_t kErrorAuthenticodePublisherNotTrusted = 0xE0000243;
constexpr std::uint32_t kErrorSignatureOsAttributeMismatch = 0xE0000244;
constexpr std::uint32_t kErrorDriverStoreAddFailed = 0xE0000247;
constexpr std::uint32_t kErrorDriverInstallBlocked = 0xE0000249;
constexpr std::uint32_t kErrorFileHashNotInCatalog = 0xE000024B;
constexpr std::uint32_t kTrustNoSignature = 0x800B0100;
constexpr std::uint32_t kCertExpired = 0x800B0101;
constexpr std::uint32_t kCertUntrustedRoot = 0x800B0109;
constexpr std::uint32_t kTrustSubjectNotTrusted = 0x800B0004;
constexpr std::uint32_t kTrustBadDigest = 0x80096010;
// The spooler's answer to a third-party driver under protected print mode.
constexpr std::uint32_t kErrorPrinterDriverBlocked = 3014;

// What stands in the way, as the person at the machine can act on it.
enum class DriverRefusal {
  kNone,
  kPublisherNotTrusted,  // an administrator may trust the publisher
  kPublisherForbidden,   // policy forbids this publisher
  kSignatureInvalid,     // the package or its signature is broken: a new one is needed
  kPolicyBlocked,        // policy or protected print mode keeps third-party drivers out
};

struct KnownError {
  std::uint32_t code;
  const char* name;     // as Windows' headers spell it
  const char* meaning;  // one English sentence for the log
  DriverRefusal refusal;
};

// The entry for `code`, or null when it is not one of these.
const KnownError* FindDriverRefusal(std::uint32_t code);

}  // namespace vornell
