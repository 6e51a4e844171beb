#include "webinstall/download_trust.h"

namespace zevrino::desktop::installer {

TrustDecision DecideDownloadTrust(const std::optional<SignerNames>& own_signer,
                                  const SignatureCheck& download,
                                  UnsignedDownloads unsigned_downloads) {
  if (download.result == kTrustNoSignature) {
    return !own_signer && unsigned_downloads == UnsignedDownloads::kAllow
               ? TrustDecision::kStartUnverified
               : TrustDecision::kRefuseUnsigned;
  }
  if (download.result != 0 || !download.signer) {
    return TrustDecision::kRefuseVerification;
  }
  if (download.chain_status != 0) {
    return TrustDecision::kRefuseChain;
  }
  if (!download.may_sign_code) {
    return TrustDecision::kRefuseUsage;
  }
  // A publisher is known by its common name; a signer without one names
  // nobody, and matches nobody.
  if (own_signer && (own_signer->common_name.empty() || !(*download.signer == *own_signer))) {
    return TrustDecision::kRefuseOtherPublisher;
  }
  return TrustDecision::kStart;
}

const char* DescribeTrustDecision(TrustDecision decision) {
  switch (decision) {
    case TrustDecision::kStart:
    case TrustDecision::kStartUnverified:
      return "";
    case TrustDecision::kRefuseUnsigned:
      return "it is not signed";
    case TrustDecision::kRefuseVerification:
      return "its signature does not verify";
    case TrustDecision::kRefuseChain:
      return "its signer's certificate chain is not trusted";
    case TrustDecision::kRefuseUsage:
      return "its signer's certificate is not for signing code";
    case TrustDecision::kRefuseOtherPublisher:
      return "it is signed by another publisher";
  }
  return "";
}

}  // namespace zevrino::desktop::installer
