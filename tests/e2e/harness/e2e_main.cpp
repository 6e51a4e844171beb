// main() of the end-to-end test programs: like gtest_main, but a run in which
// tests were skipped for a missing Windows build, and none failed, exits with
// kSkipExitCode so that ctest reports the program as skipped, not passed.
#include <gtest/gtest.h>

#include "tests/e2e/harness/test_paths.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  if (result == 0 && zevrino::e2e::WindowsBuildWasMissing()) {
    std::fprintf(stderr, "Windows build missing in %s: tests skipped\n",
                 zevrino::e2e::WindowsBuildDir().c_str());
    return zevrino::e2e::kSkipExitCode;
  }
  return result;
}
