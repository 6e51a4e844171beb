// The order of a normal install: what runs, how often, what is logged and
// what is returned, for success, silent and interactive failures, retries
// and a failed start of the application. The old files an install replaced
// are deleted last, after the start and the shortcuts, on every path.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "system/normal_install_flow.h"
#include "tests/support/log_capture.h"

namespace zevrino::desktop::installer {
namespace {

// Scripted steps that note every call in order.
struct FakeSteps {
  std::deque<ResultCode> install_results;  // one per attempt
  bool start_succeeds = true;
  std::deque<bool> retry_answers;  // one per dialog
  std::vector<std::string> calls;

  NormalInstallSteps Bind() {
    NormalInstallSteps steps;
    steps.delete_run_value = [this] { calls.push_back("delete run value"); };
    steps.install_and_register = [this] {
      calls.push_back("install and register");
      const ResultCode result = install_results.front();
      install_results.pop_front();
      return result;
    };
    steps.start_application = [this] {
      calls.push_back("start");
      return start_succeeds;
    };
    steps.show_error = [this](ResultCode code) {
      calls.push_back("error " + std::to_string(ResultNumber(code)));
      const bool retry = retry_answers.front();
      retry_answers.pop_front();
      return retry;
    };
    steps.create_shortcuts = [this] { calls.push_back("shortcuts"); };
    steps.delete_file = [this](const char* path) {
      calls.push_back(std::string("delete ") + path);
    };
    steps.delete_parked_files = [this] { calls.push_back("delete parked"); };
    return steps;
  }
};

class NormalInstallFlowTest : public ::testing::Test {
 protected:
  ResultCode Run(bool silent, bool skip_app_launch) {
    return RunNormalInstallSteps(fake_.Bind(), "C:\\Z", silent, skip_app_launch);
  }

  FakeSteps fake_;
  testing::LogCapture log_;
};

using Calls = std::vector<std::string>;

TEST_F(NormalInstallFlowTest, SuccessStartsThenMakesShortcutsThenRemovesLeftovers) {
  fake_.install_results = {kSuccess};
  EXPECT_EQ(Run(/*silent=*/false, /*skip_app_launch=*/false), kSuccess);
  EXPECT_EQ(fake_.calls, (Calls{"delete run value", "install and register", "start", "shortcuts",
                                "delete C:\\Z\\Zevrino_new.exe",
                                "delete C:\\Z\\Zevrino_new.exe.sig", "delete parked"}));
  EXPECT_EQ(log_.Records(), (Calls{"4 712 Zevrino Installer - Normal installer success"}));
}

TEST_F(NormalInstallFlowTest, SkippedLaunchStillMakesShortcuts) {
  fake_.install_results = {kSuccess};
  fake_.start_succeeds = false;  // must not matter: never called
  EXPECT_EQ(Run(/*silent=*/true, /*skip_app_launch=*/true), kSuccess);
  EXPECT_EQ(fake_.calls, (Calls{"delete run value", "install and register", "shortcuts",
                                "delete C:\\Z\\Zevrino_new.exe",
                                "delete C:\\Z\\Zevrino_new.exe.sig", "delete parked"}));
}

TEST_F(NormalInstallFlowTest, SilentFailuresAreLoggedAndReturnedWithoutDialog) {
  fake_.install_results = {kFileInUse};
  EXPECT_EQ(Run(true, false), kFileInUse);
  EXPECT_EQ(fake_.calls, (Calls{"delete run value", "install and register", "delete parked"}));
  EXPECT_EQ(log_.Records(), (Calls{"2 685 Zevrino Installer - Normal installer error: 14"}));

  fake_.calls.clear();
  log_.Clear();
  fake_.install_results = {kSuccess};
  fake_.start_succeeds = false;
  EXPECT_EQ(Run(true, false), kLaunchFailed);
  // No shortcuts and the leftover update files stay.
  EXPECT_EQ(fake_.calls,
            (Calls{"delete run value", "install and register", "start", "delete parked"}));
  EXPECT_EQ(
      log_.Records(),
      (Calls{"2 696 Zevrino Installer - Normal installer error starting sub process: C:\\Z"}));
}

TEST_F(NormalInstallFlowTest, InteractiveRetryRunsTheWholeInstallAgain) {
  fake_.install_results = {kFileInUse, kReplaceFailed, kSuccess};
  fake_.retry_answers = {true, true};
  EXPECT_EQ(Run(false, false), kSuccess);
  EXPECT_EQ(fake_.calls, (Calls{"delete run value", "install and register", "error 14",
                                "install and register", "error 18", "install and register", "start",
                                "shortcuts", "delete C:\\Z\\Zevrino_new.exe",
                                "delete C:\\Z\\Zevrino_new.exe.sig", "delete parked"}));
  EXPECT_EQ(log_.Records(), (Calls{"4 712 Zevrino Installer - Normal installer success"}));
}

TEST_F(NormalInstallFlowTest, InteractiveFailuresEndWhenTheUserDoesNotRetry) {
  fake_.install_results = {kCreateFailed};
  fake_.retry_answers = {false};
  EXPECT_EQ(Run(false, false), kCreateFailed);
  EXPECT_EQ(fake_.calls,
            (Calls{"delete run value", "install and register", "error 13", "delete parked"}));
  EXPECT_EQ(log_.Records(), (Calls{"2 714 Zevrino Installer - Normal installer error: 13"}));

  fake_.calls.clear();
  log_.Clear();
  fake_.install_results = {kSuccess};
  fake_.start_succeeds = false;
  fake_.retry_answers = {false};  // 17 offers only OK
  EXPECT_EQ(Run(false, false), kLaunchFailed);
  EXPECT_EQ(fake_.calls, (Calls{"delete run value", "install and register", "start", "error 17",
                                "delete parked"}));
  EXPECT_EQ(log_.Records(), (Calls{"2 714 Zevrino Installer - Normal installer error: 17"}));
}

}  // namespace
}  // namespace zevrino::desktop::installer
