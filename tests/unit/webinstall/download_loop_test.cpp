#include "webinstall/download_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "tests/unit/webinstall/download_fakes.h"
#include "webinstall/retry_countdown.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;
using testing::ExecutableBlock;
using testing::RecordingSink;
using testing::ScriptedSource;

class DownloadLoopTest : public ::testing::Test {
 protected:
  DownloadLoopTest() {
    shared_.progress = &progress_;
    shared_.cancel_requested = &cancel_;
    shared_.wait_for_cancel_question = [this] { ++pauses_; };
  }

  ResultCode Copy(ScriptedSource* source, std::uint64_t content_length) {
    return CopyDownload(source, &sink_, content_length, shared_);
  }

  DownloadProgressState progress_;
  std::atomic<bool> cancel_{false};
  int pauses_ = 0;
  DownloadShared shared_;
  RecordingSink sink_;
};

TEST_F(DownloadLoopTest, CompleteDownloadStreamsEveryBlockAndCountsIt) {
  Bytes expected;
  std::vector<Bytes> blocks;
  for (int i = 0; i < 40; ++i) {
    // Full blocks and short ones, as a network delivers them.
    blocks.push_back(i == 0 ? ExecutableBlock(kDownloadReadSize)
                            : ExecutableBlock(i % 3 == 0 ? 100 : kDownloadReadSize,
                                              static_cast<std::uint8_t>(i)));
    expected.insert(expected.end(), blocks.back().begin(), blocks.back().end());
  }
  progress_.bytes_received = 12345;  // left over from an earlier attempt
  ScriptedSource source(blocks);
  ASSERT_EQ(Copy(&source, expected.size()), kSuccess);
  EXPECT_EQ(sink_.data, expected);
  EXPECT_EQ(progress_.bytes_expected, expected.size());
  EXPECT_EQ(progress_.bytes_received, expected.size());
  EXPECT_EQ(source.largest_capacity, kDownloadReadSize);
  EXPECT_EQ(pauses_, source.reads);  // the cancel question is waited for before every read
}

TEST_F(DownloadLoopTest, LengthsAreComparedInSixtyFourBits) {
  // Announced 4 GiB + 10, sent 10: truncated to 32 bits the length would be
  // 10 and a 10-byte file would count as complete.
  ScriptedSource huge({ExecutableBlock(10)});
  EXPECT_EQ(Copy(&huge, (std::uint64_t{1} << 32) + 10), kDownloadInvalid);
  EXPECT_EQ(progress_.bytes_expected, (std::uint64_t{1} << 32) + 10);

  const std::vector<std::pair<std::uint64_t, ResultCode>> lengths = {
      {10, kSuccess}, {11, kDownloadInvalid}, {9, kDownloadInvalid}, {0, kDownloadInvalid}};
  for (const auto& [length, result] : lengths) {
    ScriptedSource source({ExecutableBlock(4), ExecutableBlock(6)});
    EXPECT_EQ(Copy(&source, length), result) << length;
  }

  EXPECT_EQ(ParseContentLength("4294967306"), (std::uint64_t{1} << 32) + 10);
  EXPECT_EQ(ParseContentLength(" 18446744073709551615 "), UINT64_MAX);
  for (const char* bad : {"18446744073709551616", "", " ", "12a", "-1", "0x10", "1 2"}) {
    EXPECT_EQ(ParseContentLength(bad), 0u) << bad;
  }
  EXPECT_EQ(ParseContentLength(nullptr), 0u);
}

TEST_F(DownloadLoopTest, OnlyTheFirstReadMustStartWithMz) {
  Bytes html = {'<', 'h', 't', 'm', 'l', '>'};
  ScriptedSource page({html, ExecutableBlock(100)});
  EXPECT_EQ(Copy(&page, 106), kNetworkSignInRequired);
  EXPECT_EQ(page.reads, 1);  // stops at once
  EXPECT_TRUE(sink_.data.empty());

  // Later bytes are never judged.
  ScriptedSource later({ExecutableBlock(2), html});
  EXPECT_EQ(Copy(&later, 8), kSuccess);
  // A body of one byte is too short to judge (its length decides).
  ScriptedSource one_byte({Bytes{'x'}});
  EXPECT_EQ(Copy(&one_byte, 1), kSuccess);
  // An empty body with no announced length is complete (and not an
  // executable, which running it will show).
  ScriptedSource empty({});
  EXPECT_EQ(Copy(&empty, 0), kSuccess);
}

TEST_F(DownloadLoopTest, TheFirstTwoBytesAreJudgedHoweverTheReadsSplitThem) {
  // A read that hands out what has arrived may bring the first byte alone.
  ScriptedSource split({Bytes{'M'}, Bytes{'Z', 1, 2}, Bytes{'<'}});
  EXPECT_EQ(Copy(&split, 5), kSuccess);
  EXPECT_EQ(sink_.data, (Bytes{'M', 'Z', 1, 2, '<'}));

  for (const Bytes& second : {Bytes{'Y', 'Z'}, Bytes{'<'}}) {
    sink_ = RecordingSink();
    ScriptedSource page({Bytes{'M'}, second, ExecutableBlock(100)});
    EXPECT_EQ(Copy(&page, 103), kDownloadInvalid);
    EXPECT_EQ(page.reads, 2);  // stops at the read that completes the two bytes
  }
  // A page whose "<" comes second: judged from both reads' bytes.
  sink_ = RecordingSink();
  ScriptedSource late_page({Bytes{' '}, Bytes{'<', 'p'}});
  EXPECT_EQ(Copy(&late_page, 3), kNetworkSignInRequired);

  // One large first read judges its own first two bytes, not any others.
  const std::uint64_t lots = std::uint64_t{1} << 30;
  Bytes html(kDownloadReadCap, 'x');
  html[0] = '<';
  html[kDownloadReadCap - 2] = 'M';
  html[kDownloadReadCap - 1] = 'Z';
  sink_ = RecordingSink();
  ScriptedSource large_page({html}, {lots});
  EXPECT_EQ(Copy(&large_page, html.size()), kNetworkSignInRequired);
  EXPECT_EQ(large_page.capacities, (std::vector<std::uint32_t>{kDownloadReadCap}));
  EXPECT_TRUE(sink_.data.empty());
}

TEST_F(DownloadLoopTest, ReadsTakeWhatIsReadyUpToTheCap) {
  EXPECT_EQ(DownloadReadSize(0), kDownloadReadSize);
  EXPECT_EQ(DownloadReadSize(100), kDownloadReadSize);
  EXPECT_EQ(DownloadReadSize(kDownloadReadSize + 1), kDownloadReadSize + 1);
  EXPECT_EQ(DownloadReadSize(kDownloadReadCap), kDownloadReadCap);
  // Beyond 32 bits, the cap (a size cut to 32 bits would be tiny).
  EXPECT_EQ(DownloadReadSize((std::uint64_t{1} << 32) + 5), kDownloadReadCap);

  // A slow connection (little ready) is read as before, 16 KiB at a time;
  // a fast one in large reads; each block counts as it is written.
  const std::uint32_t big = 300000;
  std::vector<Bytes> blocks = {ExecutableBlock(kDownloadReadSize), ExecutableBlock(big, 1),
                               ExecutableBlock(kDownloadReadCap, 2), ExecutableBlock(10, 3)};
  Bytes expected;
  for (const Bytes& block : blocks) {
    expected.insert(expected.end(), block.begin(), block.end());
  }
  std::vector<std::uint64_t> received_before_read;
  shared_.wait_for_cancel_question = [&] {
    ++pauses_;
    received_before_read.push_back(progress_.bytes_received);
  };
  ScriptedSource source(blocks, {10, big, UINT64_MAX, 0, 0});
  ASSERT_EQ(Copy(&source, expected.size()), kSuccess);
  EXPECT_EQ(sink_.data, expected);
  EXPECT_EQ(source.capacities, (std::vector<std::uint32_t>{kDownloadReadSize, big, kDownloadReadCap,
                                                           kDownloadReadSize, kDownloadReadSize}));
  const std::uint64_t after_first = kDownloadReadSize;
  EXPECT_EQ(received_before_read,
            (std::vector<std::uint64_t>{0, after_first, after_first + big,
                                        after_first + big + kDownloadReadCap, expected.size()}));

  // A body one byte short of its announced length still ends in 54, also
  // when it comes in one large read.
  sink_ = RecordingSink();
  ScriptedSource short_body({ExecutableBlock(big)}, {UINT64_MAX, UINT64_MAX});
  EXPECT_EQ(Copy(&short_body, big + 1), kDownloadInvalid);
  EXPECT_EQ(sink_.data.size(), big);
}

TEST_F(DownloadLoopTest, FailuresStopWithTheirCodes) {
  ScriptedSource read_fails({ExecutableBlock(50), ExecutableBlock(50)});
  read_fails.fail_at = 1;
  EXPECT_EQ(Copy(&read_fails, 100), kInternetFailed);

  ScriptedSource write_fails({ExecutableBlock(50), ExecutableBlock(50)});
  sink_ = RecordingSink();
  sink_.fail_at = 1;
  EXPECT_EQ(Copy(&write_fails, 100), kOutOfMemory);
  EXPECT_EQ(progress_.bytes_received, 50u);  // only what was written counts
}

TEST_F(DownloadLoopTest, CancelIsSeenBeforeTheNextRead) {
  ScriptedSource source({ExecutableBlock(50), ExecutableBlock(50), ExecutableBlock(50)});
  shared_.wait_for_cancel_question = [this] {
    // The user confirms the cancel question while the second read waits.
    if (++pauses_ == 2) {
      cancel_ = true;
    }
  };
  EXPECT_EQ(Copy(&source, 150), kCancelled);
  // The read that waited for the answer still runs; the next one does not.
  EXPECT_EQ(source.reads, 2);
  cancel_ = true;
  ScriptedSource untouched({ExecutableBlock(50)});
  EXPECT_EQ(Copy(&untouched, 50), kCancelled);
  EXPECT_EQ(untouched.reads, 0);

  // A read given up on because the user cancelled while it waited.
  cancel_ = false;
  ScriptedSource waiting({ExecutableBlock(50), ExecutableBlock(50)});
  waiting.fail_at = 1;
  waiting.on_fail = [this] { cancel_ = true; };
  EXPECT_EQ(Copy(&waiting, 100), kCancelled);
}

TEST_F(DownloadLoopTest, RetryCountdownShowsEverySecondAndStopsOnCancel) {
  EXPECT_EQ(RetryCountdownSeconds(1), 10u);
  EXPECT_EQ(RetryCountdownSeconds(2), 20u);

  progress_.downloading = true;
  std::vector<std::uint32_t> shown;
  ASSERT_TRUE(RunRetryCountdown(3, shared_, [&] {
    EXPECT_FALSE(progress_.downloading);
    shown.push_back(progress_.retry_countdown);
  }));
  EXPECT_EQ(shown, (std::vector<std::uint32_t>{3, 2, 1}));
  EXPECT_EQ(progress_.retry_countdown, 0u);

  int ticks = 0;
  EXPECT_FALSE(RunRetryCountdown(10, shared_, [&] {
    if (++ticks == 4) {
      cancel_ = true;
    }
  }));
  EXPECT_EQ(ticks, 4);
}

}  // namespace
}  // namespace zevrino::desktop::installer
