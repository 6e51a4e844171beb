#include "webinstall/download_trust.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

const SignerNames kPublisher{"Zevrino AB Publisher", "Zevrino AB"};
const SignerNames kOtherName{"Other Vendor", "Zevrino AB"};
const SignerNames kOtherOrganization{"Zevrino AB Publisher", "Other AB"};
const SignerNames kNoNames{"", ""};

constexpr std::uint32_t kBadDigest = 0x80096010;  // TRUST_E_BAD_DIGEST
constexpr std::uint32_t kUntrustedRoot = 0x20;    // CERT_TRUST_IS_UNTRUSTED_ROOT
constexpr std::uint32_t kNotTimeValid = 0x1;      // CERT_TRUST_IS_NOT_TIME_VALID

SignatureCheck Check(std::uint32_t result, std::uint32_t chain,
                     const std::optional<SignerNames>& signer, bool may_sign_code = true) {
  SignatureCheck check;
  check.result = result;
  check.chain_status = chain;
  check.signer = signer;
  check.may_sign_code = may_sign_code;
  return check;
}

// What a signed web installer, an unsigned one, and an unsigned one of a
// development build start.
TEST(DownloadTrust, ThePublisherIsANameVouchedForByATrustedChain) {
  using D = TrustDecision;
  const struct {
    const char* what;
    SignatureCheck download;
    TrustDecision from_signed;
    TrustDecision from_unsigned;
    TrustDecision from_development;
  } cases[] = {
      // A renewed certificate (another issuer, another key) has the same names.
      {"same publisher", Check(0, 0, kPublisher), D::kStart, D::kStart, D::kStart},
      {"another common name", Check(0, 0, kOtherName), D::kRefuseOtherPublisher, D::kStart,
       D::kStart},
      {"another organisation", Check(0, 0, kOtherOrganization), D::kRefuseOtherPublisher, D::kStart,
       D::kStart},
      {"no usage for code", Check(0, 0, kPublisher, false), D::kRefuseUsage, D::kRefuseUsage,
       D::kRefuseUsage},
      {"unsigned", Check(kTrustNoSignature, 0, std::nullopt), D::kRefuseUnsigned,
       D::kRefuseUnsigned, D::kStartUnverified},
      // Wine's WinVerifyTrust answers 0 for these; the chain does not.
      {"self-signed impostor", Check(0, kUntrustedRoot, kPublisher), D::kRefuseChain,
       D::kRefuseChain, D::kRefuseChain},
      {"expired", Check(0, kNotTimeValid, kPublisher), D::kRefuseChain, D::kRefuseChain,
       D::kRefuseChain},
      {"a byte changed", Check(kBadDigest, 0, kPublisher), D::kRefuseVerification,
       D::kRefuseVerification, D::kRefuseVerification},
      {"verified, no signer found", Check(0, 0, std::nullopt), D::kRefuseVerification,
       D::kRefuseVerification, D::kRefuseVerification},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(DecideDownloadTrust(kPublisher, c.download, UnsignedDownloads::kRefuse),
              c.from_signed);
    EXPECT_EQ(DecideDownloadTrust(kPublisher, c.download, UnsignedDownloads::kAllow), c.from_signed)
        << "a signed web installer never starts an unsigned file";
    EXPECT_EQ(DecideDownloadTrust(std::nullopt, c.download, UnsignedDownloads::kRefuse),
              c.from_unsigned);
    EXPECT_EQ(DecideDownloadTrust(std::nullopt, c.download, UnsignedDownloads::kAllow),
              c.from_development);
  }
}

// An own signer without a common name names nobody: not even a download
// without names matches it.
TEST(DownloadTrust, AnOwnSignerWithoutNamesMatchesNobody) {
  EXPECT_EQ(DecideDownloadTrust(kNoNames, Check(0, 0, kNoNames), UnsignedDownloads::kRefuse),
            TrustDecision::kRefuseOtherPublisher);
}

}  // namespace
}  // namespace zevrino::desktop::installer
