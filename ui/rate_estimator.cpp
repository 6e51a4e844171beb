#include "ui/rate_estimator.h"

#include <algorithm>
#include <limits>

namespace zevrino::desktop::installer {

std::uint32_t ChooseShownEstimate(std::uint32_t shown, std::uint32_t estimate) {
  if (estimate < shown) {
    return estimate;
  }
  const std::uint32_t margin = std::max<std::uint32_t>(5, shown / 8);
  return estimate - shown > margin ? estimate : shown;
}

std::uint32_t RateEstimator::Update(std::uint64_t received, std::uint64_t expected,
                                    std::uint32_t now_ms) {
  if (!started_ || received < last_bytes_) {
    // First call, or a retry that counts from 0 again: start measuring here.
    started_ = true;
    last_bytes_ = received;
    last_time_ms_ = now_ms;
  } else {
    const std::uint32_t elapsed = now_ms - last_time_ms_;
    const std::uint64_t arrived = received - last_bytes_;
    if (elapsed > kMinSampleIntervalMs && arrived >= kMinSampleBytes) {
      samples_[written_ % kRingSize] = arrived * 1000 / elapsed;
      ++written_;
      sample_count_ = std::min(sample_count_ + 1, kRingSize);
      std::uint64_t sum = 0;
      for (const std::uint64_t sample : samples_) {
        sum += sample;
      }
      average_rate_ = sum / static_cast<std::uint64_t>(sample_count_);
      last_bytes_ = received;
      last_time_ms_ = now_ms;
    }
  }

  std::uint32_t estimate = 0;
  if (average_rate_ != 0) {
    // More bytes than announced leave nothing to wait for.
    const std::uint64_t remaining = expected > received ? expected - received : 0;
    const std::uint64_t seconds = remaining / average_rate_ + (remaining % average_rate_ != 0);
    estimate = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(seconds, std::numeric_limits<std::uint32_t>::max()));
  }
  shown_seconds_ = ChooseShownEstimate(shown_seconds_, estimate);
  return shown_seconds_;
}

}  // namespace zevrino::desktop::installer
