#pragma once
// The visible wait between two download attempts.

#include <cstdint>
#include <functional>

#include "webinstall/download_loop.h"

namespace zevrino::desktop::installer {

// Seconds to wait after failed attempt number `attempt` (1, 2...): 5 s
// doubled per attempt, 10 and 20 s.
std::uint32_t RetryCountdownSeconds(std::uint32_t attempt);

// Shows a countdown of `seconds` in the progress window (downloading flag
// cleared, retry countdown set) and counts it down, calling `sleep_one_tick`
// once per second. Stops early and returns false when the user cancels
// (checked before every second); true when the countdown reached 0.
bool RunRetryCountdown(std::uint32_t seconds, const DownloadShared& shared,
                       const std::function<void()>& sleep_one_tick);

}  // namespace zevrino::desktop::installer
