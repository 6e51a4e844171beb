// A normal install over fakes of its ports: the result, what was installed,
// started and linked, the dialogs and the log, for success, silent and
// interactive failures, retries and a failed start. The old files an install
// replaced are deleted last, after the start and the shortcuts, on every
// path.
#include "install/normal_install_flow.h"

#include <gtest/gtest.h>

#include "tests/support/log_capture.h"
#include "tests/support/mode_fakes.h"

namespace zevrino::desktop::installer {
namespace {

using Codes = std::vector<ResultCode>;
constexpr char kSucceeded[] = "4 712 Zevrino Installer - Normal installer success";

TEST(NormalInstallFlowTest, InstallsStartsAndLinksOrReportsTheFailure) {
  const struct {
    bool silent;
    bool skip_app_launch;
    std::deque<ResultCode> installs;
    bool start_succeeds;
    std::deque<bool> retries;
    ResultCode result;
    Codes errors;
    bool started;
    bool linked;  // shortcuts made, leftover update files deleted
    const char* log;
  } cases[] = {
      // clang-format off
      {false, false, {kSuccess}, true, {}, kSuccess, {}, true, true, kSucceeded},
      // A skipped start still makes the shortcuts.
      {true, true, {kSuccess}, false, {}, kSuccess, {}, false, true, kSucceeded},
      {true, false, {kFileInUse}, true, {}, kFileInUse, {}, false, false,
       "2 685 Zevrino Installer - Normal installer error: 14"},
      {true, false, {kSuccess}, false, {}, kLaunchFailed, {}, true, false,
       "2 696 Zevrino Installer - Normal installer error starting sub process: C:\\Z"},
      // Retry runs the whole install again.
      {false, false, {kFileInUse, kReplaceFailed, kSuccess}, true, {true, true}, kSuccess,
       {kFileInUse, kReplaceFailed}, true, true, kSucceeded},
      {false, false, {kCreateFailed}, true, {false}, kCreateFailed, {kCreateFailed}, false, false,
       "2 714 Zevrino Installer - Normal installer error: 13"},
      // The dialog of 17 offers only OK.
      {false, false, {kSuccess}, false, {}, kLaunchFailed, {kLaunchFailed}, true, false,
       "2 714 Zevrino Installer - Normal installer error: 17"},
      // clang-format on
  };
  const std::set<std::wstring> leftovers = {L"C:\\Z\\Zevrino_new.exe",
                                            L"C:\\Z\\Zevrino_new.exe.sig"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.log);
    testing::LogCapture log;
    testing::FakeSystem system;
    testing::FakeDialogs dialogs;
    testing::FakeFiles files;
    system.install_results = c.installs;
    system.start_succeeds = c.start_succeeds;
    dialogs.retries = c.retries;
    EXPECT_EQ(RunNormalInstallSteps({system, system, system, dialogs, files}, L"C:\\Z", c.silent,
                                    c.skip_app_launch),
              c.result);
    EXPECT_FALSE(system.startup_value);
    EXPECT_EQ(system.installs.size(), c.installs.size());
    EXPECT_EQ(dialogs.errors, c.errors);
    EXPECT_EQ(system.started_at != 0, c.started);
    EXPECT_EQ(system.shortcuts_at != 0, c.linked);
    EXPECT_EQ(files.deleted, c.linked ? leftovers : std::set<std::wstring>());
    EXPECT_EQ(system.replaced_deleted_at, system.step) << "the replaced files go last";
    EXPECT_TRUE(!c.linked || system.started_at < system.shortcuts_at || !c.started);
    EXPECT_EQ(log.Records(), std::vector<std::string>{c.log});
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
