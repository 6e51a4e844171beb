#pragma once
// Whether the downloaded full installer may be started, from what the
// system's Authenticode check said about it and about the web installer's
// own signature. Platform-free, so that the rule is tested natively; the
// check itself is in authenticode_win.h.
//
//   web installer   download                                   decision
//   signed          verified, chain clean, same subject and    start
//                   issuer as the web installer's signer
//   signed          anything else (unsigned too)               refuse
//   unsigned        verified, chain clean (any publisher)      start
//   unsigned        no signature at all                        start, logged
//                                                              as unverified
//   unsigned        a signature that fails                     refuse
//
// "Verified" is a result of 0 from WinVerifyTrust; the chain must be clean
// as well (no error bit in the signer chain's status), because Wine's
// WinVerifyTrust accepts untrusted and expired signers of certificates that
// are signed with SHA-256. A vendor's renewed certificate keeps its names,
// not always its key, so the names are what must match; the chain is what
// refuses an impostor that copied them.

#include <cstdint>
#include <optional>
#include <vector>

namespace zevrino::desktop::installer {

// WinVerifyTrust's answer for a file without any signature.
constexpr std::uint32_t kTrustNoSignature = 0x800B0100;  // TRUST_E_NOSIGNATURE

// The subject and issuer of a signing certificate, as encoded in it (DER).
struct SignerNames {
  std::vector<std::uint8_t> subject;
  std::vector<std::uint8_t> issuer;
  bool operator==(const SignerNames& other) const {
    return subject == other.subject && issuer == other.issuer;
  }
};

struct SignatureCheck {
  std::uint32_t result = kTrustNoSignature;  // WinVerifyTrust's result
  std::uint32_t chain_status = 0;            // the signer chain's error bits
  std::optional<SignerNames> signer;         // the leaf's names, when found
};

enum class TrustDecision {
  kStart,
  kStartUnverified,  // a development build starting an unsigned download
  kRefuse,
};

// `own_signer`: the web installer's own signer, or nothing when it is
// unsigned.
TrustDecision DecideDownloadTrust(const std::optional<SignerNames>& own_signer,
                                  const SignatureCheck& download);

}  // namespace zevrino::desktop::installer
