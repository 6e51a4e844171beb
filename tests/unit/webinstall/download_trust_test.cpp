#include "webinstall/download_trust.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

// Names as certificates encode them; only their bytes matter here.
const SignerNames kPublisher{{'Z', 'e', 'v'}, {'C', 'A'}};
const SignerNames kOtherPublisher{{'O', 't', 'h'}, {'C', 'A'}};
const SignerNames kOtherIssuer{{'Z', 'e', 'v'}, {'X', 'X'}};

constexpr std::uint32_t kBadDigest = 0x80096010;  // TRUST_E_BAD_DIGEST
constexpr std::uint32_t kUntrustedRoot = 0x20;    // CERT_TRUST_IS_UNTRUSTED_ROOT
constexpr std::uint32_t kNotTimeValid = 0x1;      // CERT_TRUST_IS_NOT_TIME_VALID

TEST(DownloadTrust, SignedInstallersStartOnlyTheirPublishersFiles) {
  const std::optional<SignerNames> signed_by = kPublisher;
  const std::optional<SignerNames> unsigned_build;
  const struct {
    const char* what;
    SignatureCheck download;
    TrustDecision from_signed;
    TrustDecision from_unsigned;
  } cases[] = {
      {"same publisher", {0, 0, kPublisher}, TrustDecision::kStart, TrustDecision::kStart},
      {"another publisher", {0, 0, kOtherPublisher}, TrustDecision::kRefuse, TrustDecision::kStart},
      {"same subject, other issuer",
       {0, 0, kOtherIssuer},
       TrustDecision::kRefuse,
       TrustDecision::kStart},
      {"unsigned",
       {kTrustNoSignature, 0, std::nullopt},
       TrustDecision::kRefuse,
       TrustDecision::kStartUnverified},
      // Wine's WinVerifyTrust answers 0 for these; the chain does not.
      {"self-signed impostor",
       {0, kUntrustedRoot, kPublisher},
       TrustDecision::kRefuse,
       TrustDecision::kRefuse},
      {"expired", {0, kNotTimeValid, kPublisher}, TrustDecision::kRefuse, TrustDecision::kRefuse},
      {"a byte changed",
       {kBadDigest, 0, kPublisher},
       TrustDecision::kRefuse,
       TrustDecision::kRefuse},
      {"verified, no signer found",
       {0, 0, std::nullopt},
       TrustDecision::kRefuse,
       TrustDecision::kRefuse},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideDownloadTrust(signed_by, c.download), c.from_signed) << c.what;
    EXPECT_EQ(DecideDownloadTrust(unsigned_build, c.download), c.from_unsigned) << c.what;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
