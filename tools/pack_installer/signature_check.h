#pragma once
// Checks an installer's Authenticode signature as far as the file itself can
// tell: the image digest recomputed over the signed bytes
// (authenticode_layout.h) against the one the signature carries, and the
// signer's signature over that digest. Whether the signer is trusted (chain,
// validity, revocation) is the system's decision when the file starts, and
// is not made here.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zevrino::desktop::packer {

enum class SignatureState {
  kUnsigned,      // no certificate table
  kIntact,        // digest matches and the signer's signature holds
  kImageChanged,  // the recomputed image digest differs from the signed one
  kUnreadable,    // a certificate table that holds no usable signature
  kNotChecked,    // this build cannot check signatures
};

struct SignatureReport {
  SignatureState state = SignatureState::kUnsigned;
  std::string problem;           // kUnreadable, kNotChecked: why, in a few words
  std::string digest_algorithm;  // e.g. "sha256"
  std::string subject;           // the signer's certificate, "CN=..., O=..."
  std::string issuer;
  // "2024-05-01 12:00:00 UTC by CN=..." when a timestamp is present and
  // belongs to this signature; a note when it is present but does not.
  std::string timestamp;
  bool timestamp_broken = false;    // present, but its signature or imprint fails
  std::uint64_t signed_end = 0;     // the signed bytes are [0, signed_end), minus two fields
  std::uint64_t appended_size = 0;  // bytes after the certificate table
};

// The state describes the signature over [0, signed_end); bytes appended
// after the certificate table show in appended_size only.
SignatureReport CheckSignature(const std::uint8_t* file, std::size_t size);

}  // namespace zevrino::desktop::packer
