// The order of a web install and its retry rules over fakes of its ports:
// which codes are retried, after which countdowns, what a cancel during a
// countdown and Retry in the error dialog do, and that the download file
// never outlives its pass.

#include "webinstall/web_install_flow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <vector>

#include "tests/support/mode_fakes.h"
#include "tests/support/result_code_output.h"

namespace zevrino::desktop::installer {
namespace {

using Seconds = std::vector<std::uint32_t>;
using Codes = std::vector<ResultCode>;

// Counts what the flow did and keeps the state a user could see: whether
// the download file exists, the countdown shown during each second, the
// dialogs.
struct FakeWebInstall final : DownloadPasses {
  std::deque<ResultCode> downloads;  // one per attempt; kSuccess once spent
  ResultCode run_result = kSuccess;
  int passes = 0;
  int attempts = 0;
  int runs = 0;
  bool file_exists = false;
  Seconds countdown;
  testing::FakeDialogs dialogs;
  testing::FakeClock clock;
  int cancel_at_second = 0;  // the user cancels during that second (1...)
  DownloadProgressState progress;
  std::atomic<bool> cancel{false};

  ResultCode Prepare() override {
    ++passes;
    file_exists = true;
    return kSuccess;
  }
  ResultCode Download() override {
    EXPECT_TRUE(file_exists);
    ++attempts;
    return testing::Next(downloads, kSuccess);
  }
  ResultCode RunDownload() override {
    ++runs;
    return run_result;
  }
  void EndPass() override { file_exists = false; }

  ResultCode Run() {
    DownloadShared shared;
    shared.progress = &progress;
    shared.cancel_requested = &cancel;
    clock.on_sleep = [this] {
      EXPECT_EQ(clock.sleeps.back(), 1000u);
      EXPECT_FALSE(progress.downloading);
      countdown.push_back(progress.retry_countdown);
      cancel = countdown.size() == static_cast<std::size_t>(cancel_at_second);
    };
    return RunWebInstallSteps({*this, clock, dialogs}, shared);
  }
};

Seconds CountdownsOf10And20() {
  Seconds seconds;
  for (std::uint32_t first = 10; first >= 1; --first) {
    seconds.push_back(first);
  }
  for (std::uint32_t second = 20; second >= 1; --second) {
    seconds.push_back(second);
  }
  return seconds;
}

// 51 and 52 are tried three times, with countdowns of 10 and 20 seconds
// shown second by second; then the dialog offers Retry, which starts a whole
// new pass, and Cancel, which ends with the code.
TEST(WebInstallFlowTest, NotFoundAndNoConnectionAreRetriedAfterCountdowns) {
  for (const ResultCode code : {kHttpStatusNotOk, kUrlOpenFailed}) {
    SCOPED_TRACE(code);
    FakeWebInstall web;
    web.downloads.assign(6, code);
    web.dialogs.retries = {true, false};
    EXPECT_EQ(web.Run(), code);
    EXPECT_EQ(web.passes, 2);
    EXPECT_EQ(web.attempts, 6);
    Seconds both_passes = CountdownsOf10And20();
    const Seconds one_pass = both_passes;
    both_passes.insert(both_passes.end(), one_pass.begin(), one_pass.end());
    EXPECT_EQ(web.countdown, both_passes);
    EXPECT_EQ(web.dialogs.errors, (Codes{code, code}));
    EXPECT_EQ(web.runs, 0);
    EXPECT_FALSE(web.file_exists);
  }
}

// Every other failure of an attempt ends the pass at once, and a download
// that succeeds after retries runs the full installer. 0 and 55 (the full
// installer said why itself) show no dialog.
TEST(WebInstallFlowTest, OnlyNotFoundAndNoConnectionAreRetried) {
  const struct {
    Codes downloads;
    ResultCode run_result;
    ResultCode result;
    int attempts;
    int runs;
    Codes dialogs;
  } cases[] = {
      {{kInternetFailed}, kSuccess, kInternetFailed, 1, 0, {kInternetFailed}},
      {{kDownloadInvalid}, kSuccess, kDownloadInvalid, 1, 0, {kDownloadInvalid}},
      {{kHttpsFailedHttpWorks}, kSuccess, kHttpsFailedHttpWorks, 1, 0, {kHttpsFailedHttpWorks}},
      // What the network asks of the user: no countdown would change it.
      {{kProxySignInRequired}, kSuccess, kProxySignInRequired, 1, 0, {kProxySignInRequired}},
      {{kNetworkSignInRequired}, kSuccess, kNetworkSignInRequired, 1, 0, {kNetworkSignInRequired}},
      {{kSecureConnectionUnverified},
       kSuccess,
       kSecureConnectionUnverified,
       1,
       0,
       {kSecureConnectionUnverified}},
      {{}, kDownloadNotGenuine, kDownloadNotGenuine, 1, 1, {kDownloadNotGenuine}},
      {{kOutOfMemory}, kSuccess, kOutOfMemory, 1, 0, {kOutOfMemory}},
      {{kUrlOpenFailed, kHttpStatusNotOk}, kSuccess, kSuccess, 3, 1, {}},
      {{kUrlOpenFailed}, kFullInstallerFailed, kFullInstallerFailed, 2, 1, {}},
      {{}, kFullInstallerStartFailed, kFullInstallerStartFailed, 1, 1, {kFullInstallerStartFailed}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.result);
    FakeWebInstall web;
    web.downloads.assign(c.downloads.begin(), c.downloads.end());
    web.run_result = c.run_result;
    EXPECT_EQ(web.Run(), c.result);
    EXPECT_EQ(web.attempts, c.attempts);
    EXPECT_EQ(web.runs, c.runs);
    EXPECT_EQ(web.dialogs.errors, c.dialogs);
    EXPECT_FALSE(web.file_exists);
  }
}

// Closing the window during a countdown and answering Yes ends the run with
// 19 at once: no further attempt, and the file goes.
TEST(WebInstallFlowTest, CancelDuringACountdownEndsWith19) {
  FakeWebInstall web;
  web.downloads = {kHttpStatusNotOk, kHttpStatusNotOk};
  web.cancel_at_second = 2;
  EXPECT_EQ(web.Run(), kCancelled);
  EXPECT_EQ(web.attempts, 1);
  EXPECT_EQ(web.countdown, (Seconds{10, 9}));
  EXPECT_EQ(web.runs, 0);
  EXPECT_FALSE(web.file_exists);
}

}  // namespace
}  // namespace zevrino::desktop::installer
