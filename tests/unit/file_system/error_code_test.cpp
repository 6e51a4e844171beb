#include "base/error_code.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

// Only the installer's own codes pass as results; a system error's number
// is never taken for one.
TEST(ToResultCode, TakesOnlyTheInstallersOwnCodes) {
  const struct {
    ErrorCode error;
    ResultCode expected;
  } cases[] = {{ErrorCode(), kSuccess},
               {ErrorCode::System(0), kSuccess},
               {ErrorCode::Installer(kWriteFailed), kWriteFailed},
               {ErrorCode::System(5), kCreateFailed},
               {ErrorCode::System(12), kCreateFailed}};
  for (const auto& c : cases) {
    EXPECT_EQ(ToResultCode(c.error, kCreateFailed), c.expected) << c.error.value();
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
