#pragma once
// Authenticode signatures for tests, made with OpenSSL and osslsigncode: a
// test root that a prefix can be made to trust, and the signers a web
// installer meets in the wild. Everything is made once per directory and
// kept there.

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/test_signing_posix.h"

namespace zevrino::e2e {

class WinePrefix;

// The signers, made by the shared support (tests/support/test_signing_posix.h).
using desktop::installer::testing::Signer;

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
