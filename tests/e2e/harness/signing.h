#pragma once
// Authenticode signatures for tests, made with OpenSSL and osslsigncode: a
// test root that a prefix can be made to trust, and the signers a web
// installer meets in the wild. Everything is made once per directory and
// kept there.

#include <filesystem>
#include <memory>
#include <string>

namespace zevrino::e2e {

class WinePrefix;

enum class Signer {
  kPublisher,       // the vendor: a leaf of the test root
  kOtherPublisher,  // someone else with a leaf of the same root
  kExpired,         // the vendor's name, a leaf of the root that expired in 2021
  kSelfSigned,      // the vendor's name on a self-signed certificate
  kImpostorChain,   // the vendor's and the root's names, from a root of its own
  kRenewed,         // the vendor's names (and a locality), a leaf of an intermediate
  kServerAuthOnly,  // the vendor's names, a leaf of the root for servers only
  kExpiredTimestamped,  // kExpired's leaf, time-stamped while it was valid
};

class TestSigning {
 public:
  // Makes the root, the leaves and their keys in `directory`. On failure
  // returns null and *error says which command failed.
  static std::unique_ptr<TestSigning> Create(const std::filesystem::path& directory,
                                             std::string* error);

  // Signs `input` into `output` (SHA-256, no timestamp).
  bool Sign(const std::filesystem::path& input, const std::filesystem::path& output, Signer signer,
            std::string* error) const;

  // Makes the prefix's current user trust the test root (a .reg import of
  // the certificate into its "Root" store).
  bool TrustRoot(const WinePrefix& prefix, std::string* error) const;

 private:
  explicit TestSigning(std::filesystem::path directory) : directory_(std::move(directory)) {}

  std::filesystem::path directory_;
};

}  // namespace zevrino::e2e
