#pragma once
// Base of the end-to-end fixtures: one Wine prefix per test suite, opened by
// the first test that has its Windows programs to run (so a missing Windows
// build skips without setting up Wine) and closed when the suite ends, which
// also releases the prefix's lock for the next suite.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

class PrefixTest : public ::testing::Test {
 protected:
  // True when the suite's prefix is open; a failed first attempt is not
  // repeated for every test. Use as ASSERT_TRUE(OpenSharedPrefix()) << PrefixError().
  // A suite that changes its prefix (handlers, debug settings) names its own.
  static bool OpenSharedPrefix(const PrefixOptions& options = {}) {
    if (!attempted_) {
      attempted_ = true;
      prefix_ = WinePrefix::Open(options, &error_);
    }
    return prefix_ != nullptr;
  }
  static const std::string& PrefixError() { return error_; }

  static void TearDownTestSuite() {
    prefix_.reset();
    attempted_ = false;
  }

  static inline std::unique_ptr<WinePrefix> prefix_;

 private:
  static inline bool attempted_ = false;
  static inline std::string error_;
};

}  // namespace zevrino::e2e
