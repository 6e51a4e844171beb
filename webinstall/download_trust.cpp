#include "webinstall/download_trust.h"

namespace zevrino::desktop::installer {

TrustDecision DecideDownloadTrust(const std::optional<SignerNames>& own_signer,
                                  const SignatureCheck& download) {
  const bool verified = download.result == 0 && download.chain_status == 0 && download.signer;
  if (own_signer) {
    return verified && *download.signer == *own_signer ? TrustDecision::kStart
                                                       : TrustDecision::kRefuse;
  }
  if (verified) {
    return TrustDecision::kStart;
  }
  return download.result == kTrustNoSignature ? TrustDecision::kStartUnverified
                                              : TrustDecision::kRefuse;
}

}  // namespace zevrino::desktop::installer
