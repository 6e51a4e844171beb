#include "tests/e2e/harness/holder.h"

#include <gtest/gtest.h>

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {

using namespace std::chrono_literals;

Holder::Holder(const WinePrefix& prefix, const fs::path& scratch, const std::string& program,
               const std::string& held) {
  static int count = 0;
  const std::string name = "holder-" + std::to_string(++count);
  ready_ = scratch / (name + ".ready");
  release_ = scratch / (name + ".release");
  const std::vector<std::string> command = {WindowsTestProgram(program).string(), held,
                                            ToWindowsPath(ready_), ToWindowsPath(release_)};
  done_ = std::async(std::launch::async,
                     [&prefix, command] { return prefix.RunWine(command, {}, 300s); });
  holding_ =
      WaitUntil(
          [&] { return fs::exists(ready_) || done_.wait_for(0s) == std::future_status::ready; },
          60s) &&
      fs::exists(ready_);
}

const ProcessResult& Holder::Release() {
  if (done_.valid()) {
    WriteBytes(release_, {});
    result_ = done_.get();
    EXPECT_TRUE(result_.ExitedWith(0)) << Describe(result_);
  }
  return result_;
}

}  // namespace zevrino::e2e
