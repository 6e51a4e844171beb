#include "ui/rate_estimator.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(RateEstimatorTest, MarginRule) {
  // Rising: shown only beyond max(5, shown / 8).
  EXPECT_EQ(ChooseShownEstimate(100, 112), 100u);
  EXPECT_EQ(ChooseShownEstimate(100, 113), 113u);
  EXPECT_EQ(ChooseShownEstimate(0, 5), 0u);  // the first estimate needs more than 5 s
  EXPECT_EQ(ChooseShownEstimate(0, 6), 6u);
  EXPECT_EQ(ChooseShownEstimate(16, 21), 16u);
  EXPECT_EQ(ChooseShownEstimate(16, 22), 22u);
  // Falling: at once, however little.
  EXPECT_EQ(ChooseShownEstimate(100, 99), 99u);
  EXPECT_EQ(ChooseShownEstimate(100, 0), 0u);
}

// 100 KB/s for a 1 MB download: samples each 1.5 s, the estimate follows the
// remaining bytes down, and a sample is only taken after more than a second
// with at least 16 KiB.
TEST(RateEstimatorTest, SamplesAndEstimates) {
  RateEstimator estimator;
  const std::uint64_t expected = 1'000'000;
  EXPECT_EQ(estimator.Update(0, expected, 5000), 0u);        // first call: starts only
  EXPECT_EQ(estimator.Update(100'000, expected, 6000), 0u);  // exactly 1 s: no sample
  EXPECT_EQ(estimator.average_rate(), 0u);
  EXPECT_EQ(estimator.Update(150'000, expected, 6500), 9u);  // 150000 B in 1.5 s
  EXPECT_EQ(estimator.average_rate(), 100'000u);
  EXPECT_EQ(estimator.Update(160'000, expected, 8000), 9u);  // 10 kB in 1.5 s: too few bytes
  // 250 kB in the 2 s since the last sample is 125 kB/s; the average of the
  // two samples is 112.5 kB/s.
  estimator.Update(400'000, expected, 8500);
  EXPECT_EQ(estimator.average_rate(), 112'500u);
  // 600000 left at 112500 B/s: 5.33, rounded up to 6, shown since it dropped.
  EXPECT_EQ(estimator.shown_seconds(), 6u);
  // More received than announced leaves nothing to wait for.
  EXPECT_EQ(estimator.Update(1'200'000, expected, 8600), 0u);
}

// A retry counts from 0 again. Without the restart rule the difference to
// the last sample wraps to about 2^64 bytes and the rate becomes absurd.
TEST(RateEstimatorTest, RestartFromZeroBeginsANewMeasurement) {
  RateEstimator estimator;
  const std::uint64_t expected = 10'000'000;
  estimator.Update(0, expected, 1000);
  estimator.Update(200'000, expected, 3000);  // 100 kB/s
  ASSERT_EQ(estimator.average_rate(), 100'000u);
  const std::uint32_t before = estimator.shown_seconds();
  EXPECT_EQ(before, 98u);

  // The retry: 0 bytes 5 s later. No sample, the rate stays.
  estimator.Update(0, expected, 8000);
  EXPECT_EQ(estimator.average_rate(), 100'000u);
  // 100 s left now: more than the margin above 98? 2 s is not, so 98 stays.
  EXPECT_EQ(estimator.shown_seconds(), 98u);
  // Measured from the restart: 300 kB in 1.5 s is 200 kB/s.
  estimator.Update(300'000, expected, 9500);
  EXPECT_EQ(estimator.average_rate(), 150'000u);
  EXPECT_EQ(estimator.shown_seconds(), 65u);  // 9.7 MB at 150 kB/s, rounded up
}

// GetTickCount wraps after 49.7 days; the interval is taken modulo 2^32.
TEST(RateEstimatorTest, ClockWrap) {
  RateEstimator estimator;
  estimator.Update(0, 1'000'000, 0xFFFFFC00u);  // 1024 ms before the wrap
  estimator.Update(200'000, 1'000'000, 976);    // 2000 ms later
  EXPECT_EQ(estimator.average_rate(), 100'000u);
  EXPECT_EQ(estimator.shown_seconds(), 8u);
}

}  // namespace
}  // namespace zevrino::desktop::installer
