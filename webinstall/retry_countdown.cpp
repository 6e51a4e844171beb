#include "webinstall/retry_countdown.h"

namespace zevrino::desktop::installer {

std::uint32_t RetryCountdownSeconds(std::uint32_t attempt) {
  constexpr std::uint32_t kBaseSeconds = 5;
  return kBaseSeconds << attempt;
}

bool RunRetryCountdown(std::uint32_t seconds, const DownloadShared& shared,
                       const std::function<void()>& sleep_one_tick) {
  DownloadProgressState& progress = *shared.progress;
  progress.retry_countdown.store(seconds, std::memory_order_relaxed);
  progress.downloading.store(false, std::memory_order_relaxed);
  for (std::uint32_t left = seconds; left != 0;) {
    if (shared.cancel_requested->load(std::memory_order_relaxed)) {
      return false;
    }
    sleep_one_tick();
    --left;
    progress.retry_countdown.store(left, std::memory_order_relaxed);
  }
  return true;
}

}  // namespace zevrino::desktop::installer
