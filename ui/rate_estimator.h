#pragma once
// Time left of a download, from the bytes received over time. Platform-free:
// the caller passes the clock (GetTickCount milliseconds, which wrap after
// 49.7 days; differences are taken modulo 2^32 so a wrap does no harm).
//
// A sample is taken when more than a second has passed and at least 16 KiB
// arrived since the last one; the rate is the mean of the last eight samples.
// The estimate shown drops at once but rises only when the new estimate
// exceeds it by more than max(5 s, an eighth of it), so it does not jitter.
//
// A download that restarts (fewer bytes than at the last sample: a retry
// starting from 0) begins a new measurement from that point; the rates
// measured before are kept, since they describe the same connection.
//
// Constant-size state, no allocation.

#include <cstdint>

namespace zevrino::desktop::installer {

class RateEstimator {
 public:
  static constexpr std::uint32_t kMinSampleIntervalMs = 1000;
  static constexpr std::uint64_t kMinSampleBytes = 16384;
  static constexpr int kRingSize = 8;

  // Feeds the bytes received and expected at `now_ms`; returns the estimate
  // to show in seconds (0: none yet).
  std::uint32_t Update(std::uint64_t received, std::uint64_t expected, std::uint32_t now_ms);

  std::uint32_t shown_seconds() const { return shown_seconds_; }
  std::uint64_t average_rate() const { return average_rate_; }

 private:
  bool started_ = false;
  std::uint32_t last_time_ms_ = 0;
  std::uint64_t last_bytes_ = 0;
  std::uint64_t samples_[kRingSize] = {};
  int sample_count_ = 0;       // saturates at kRingSize
  std::uint32_t written_ = 0;  // ring slot = written_ % kRingSize
  std::uint32_t shown_seconds_ = 0;
  std::uint64_t average_rate_ = 0;  // bytes per second
};

// The new estimate replaces the shown one when it is lower, or higher by
// more than max(5, shown / 8) seconds.
std::uint32_t ChooseShownEstimate(std::uint32_t shown, std::uint32_t estimate);

}  // namespace zevrino::desktop::installer
