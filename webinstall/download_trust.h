#pragma once
// Whether the downloaded full installer may be started, from what the
// system's Authenticode check said about it and about the web installer's
// own signature. Platform-free, so that the rule is tested natively; the
// check itself is in authenticode_win.h.
//
//   web installer   download                                     decision
//   signed          verified, chain clean, may sign code, the    start
//                   same common name and organisation as the
//                   web installer's own signer
//   signed          anything else (unsigned too)                 refuse
//   unsigned        verified, chain clean, may sign code         start
//   unsigned        no signature at all                          refuse; start,
//                                                                logged as
//                                                                unverified, in
//                                                                a development
//                                                                build
//   unsigned        anything else                                refuse
//
// "Verified" is a result of 0 from WinVerifyTrust; the chain must be clean
// as well (no error bit in the signer chain's status), because Wine's
// WinVerifyTrust accepts untrusted and expired signers of certificates that
// are signed with SHA-256. "May sign code": the leaf has no extended key
// usage, or one that lists code signing; Wine does not look at it.
//
// The publisher is a name, not a certificate: a vendor's renewed
// certificate keeps its common name and organisation, but may come from
// another intermediate or with another key, so issuer, key and the other
// subject attributes may differ. The chain is what refuses an impostor that
// copied the names.

#include <cstdint>
#include <optional>
#include <string>

namespace zevrino::desktop::installer {

// WinVerifyTrust's answer for a file without any signature.
constexpr std::uint32_t kTrustNoSignature = 0x800B0100;  // TRUST_E_NOSIGNATURE

// The names that identify a publisher: the signing certificate's subject
// common name and organisation (UTF-8, empty when absent).
struct SignerNames {
  std::string common_name;
  std::string organization;
  bool operator==(const SignerNames& other) const {
    return common_name == other.common_name && organization == other.organization;
  }
};

struct SignatureCheck {
  std::uint32_t result = kTrustNoSignature;  // WinVerifyTrust's result
  std::uint32_t chain_status = 0;            // the signer chain's error bits
  std::optional<SignerNames> signer;         // the leaf's names, when found
  bool may_sign_code = false;                // the leaf's extended key usage allows it
};

enum class TrustDecision {
  kStart,
  kStartUnverified,       // a development build starting an unsigned download
  kRefuseUnsigned,        // no signature, and unsigned downloads may not start
  kRefuseVerification,    // WinVerifyTrust refused it, or named no signer
  kRefuseChain,           // the signer's chain is not trusted or not valid now
  kRefuseUsage,           // the signer's certificate is not for signing code
  kRefuseOtherPublisher,  // another common name or organisation
};

// Which download builds may start an unsigned download from an unsigned
// web installer: only development builds, by a build option.
enum class UnsignedDownloads { kRefuse, kAllow };

// `own_signer`: the web installer's own signer, or nothing when it is
// unsigned.
TrustDecision DecideDownloadTrust(const std::optional<SignerNames>& own_signer,
                                  const SignatureCheck& download,
                                  UnsignedDownloads unsigned_downloads);

// Which check refused, in words for the log ("" for the two starts).
const char* DescribeTrustDecision(TrustDecision decision);

}  // namespace zevrino::desktop::installer
