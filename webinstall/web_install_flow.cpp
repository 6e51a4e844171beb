#include "webinstall/web_install_flow.h"

#include "logging/log.h"
#include "webinstall/log_lines.h"
#include "webinstall/retry_countdown.h"

namespace zevrino::desktop::installer {
namespace {

// Up to kDownloadAttempts attempts; after a failed connection or a status
// other than 200 a countdown runs in the progress window before the next one.
ResultCode DownloadWithRetries(const WebInstallPorts& ports, const DownloadShared& shared) {
  for (std::uint32_t attempt = 0;;) {
    const ResultCode result = ports.passes.Download();
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
    if (!RunRetryCountdown(RetryCountdownSeconds(attempt), shared,
                           [&ports] { ports.clock.Sleep(1000); })) {
      return kCancelled;
    }
  }
}

ResultCode RunPass(const WebInstallPorts& ports, const DownloadShared& shared) {
  ResultCode result = ports.passes.Prepare();
  if (result == kSuccess) {
    result = DownloadWithRetries(ports, shared);
  }
  if (result == kSuccess) {
    result = ports.passes.RunDownload();
  }
  ports.passes.EndPass();
  return result;
}

}  // namespace

ResultCode RunWebInstallSteps(const WebInstallPorts& ports, const DownloadShared& shared) {
  for (;;) {
    const ResultCode result = RunPass(ports, shared);
    if (result == kSuccess || result == kFullInstallerFailed || !ports.dialogs.ShowError(result)) {
      return result;
    }
  }
}

}  // namespace zevrino::desktop::installer
