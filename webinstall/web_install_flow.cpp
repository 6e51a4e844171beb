#include "webinstall/web_install_flow.h"

#include "logging/log.h"
#include "webinstall/log_lines.h"
#include "webinstall/retry_countdown.h"

namespace zevrino::desktop::installer {
namespace {

// Up to kDownloadAttempts attempts; after a failed connection or a status
// other than 200 a countdown runs in the progress window before the next one.
ResultCode DownloadWithRetries(const WebInstallSteps& steps, const DownloadShared& shared) {
  for (std::uint32_t attempt = 0;;) {
    const ResultCode result = steps.download();
    if (result != kHttpStatusNotOk && result != kUrlOpenFailed) {
      return result;
    }
    ++attempt;
    logging::log_message(logging::kLevelWarning, "", kLineDownloadAttemptFailed,
                         "Zevrino Installer - Download attempt %u failed: %d", attempt,
                         ResultNumber(result));
    if (attempt == kDownloadAttempts) {
      return result;
    }
    if (!RunRetryCountdown(RetryCountdownSeconds(attempt), shared, steps.sleep_one_second)) {
      return kCancelled;
    }
  }
}

ResultCode RunPass(const WebInstallSteps& steps, const DownloadShared& shared) {
  ResultCode result = steps.prepare();
  if (result == kSuccess) {
    result = DownloadWithRetries(steps, shared);
  }
  if (result == kSuccess) {
    result = steps.run_download();
  }
  steps.end_pass();
  return result;
}

}  // namespace

ResultCode RunWebInstallSteps(const WebInstallSteps& steps, const DownloadShared& shared) {
  for (;;) {
    const ResultCode result = RunPass(steps, shared);
    if (result == kSuccess || result == kFullInstallerFailed || !steps.show_error(result)) {
      return result;
    }
  }
}

}  // namespace zevrino::desktop::installer
