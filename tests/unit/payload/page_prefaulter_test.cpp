// PagePrefaulter covers the buffer front to back in chunks, stops for good at
// the first refused commit, and runs no commit once Stop has returned; the
// platform's CommitPages leaves the bytes as they were.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "payload/page_prefaulter.h"

namespace zevrino::desktop::installer {
namespace {

// Notes every commit; Stop would end the walk early, so a test waits for
// the calls it expects first.
struct Recorder {
  explicit Recorder(const std::vector<std::uint8_t>& buffer) : base(buffer.data()) {}

  CommitPagesFunction Commit(std::size_t refuse_at) {
    return [this, refuse_at](void* address, std::size_t size) {
      std::lock_guard<std::mutex> lock(mutex);
      calls.emplace_back(static_cast<const std::uint8_t*>(address) - base, size);
      changed.notify_all();
      return calls.size() != refuse_at;
    };
  }
  std::vector<std::pair<std::size_t, std::size_t>> WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(60), [&] { return calls.size() >= count; });
    return calls;
  }

  const std::uint8_t* base;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::pair<std::size_t, std::size_t>> calls;  // offset, size
};

TEST(PagePrefaulterTest, CoversTheBufferInOrderAndEndsAtARefusal) {
  std::vector<std::uint8_t> buffer(10 * 1000 + 7);
  std::vector<std::pair<std::size_t, std::size_t>> expected;
  for (std::size_t offset = 0; offset < buffer.size(); offset += 1000) {
    expected.emplace_back(offset, offset + 1000 <= buffer.size() ? 1000 : 7);
  }
  Recorder all(buffer);
  PagePrefaulter prefaulter;
  prefaulter.Start(buffer.data(), buffer.size(), all.Commit(0), 1000);
  EXPECT_EQ(all.WaitFor(expected.size()), expected);
  prefaulter.Stop();
  EXPECT_EQ(all.calls, expected) << "nothing after the end";

  // A quota met at the third chunk ends the walk there.
  Recorder refused(buffer);
  prefaulter.Start(buffer.data(), buffer.size(), refused.Commit(3), 1000);
  refused.WaitFor(3);
  prefaulter.Stop();
  EXPECT_EQ(refused.calls, (std::vector<std::pair<std::size_t, std::size_t>>(
                               expected.begin(), expected.begin() + 3)));
}

TEST(PagePrefaulterTest, NoCommitAfterStop) {
  std::vector<std::uint8_t> buffer(1 << 20);
  std::atomic<bool> stopping{false};
  std::atomic<bool> stopped{false};
  std::atomic<int> late{0};
  std::atomic<int> seen{0};
  PagePrefaulter prefaulter;
  prefaulter.Start(
      buffer.data(), buffer.size(),
      [&](void*, std::size_t) {
        ++seen;
        if (stopped) {
          ++late;
        }
        // The first chunk waits for Stop to be on its way, and each takes
        // long enough that the stop arrives before the end, however busy the
        // machine is.
        while (!stopping) {
          std::this_thread::yield();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return true;
      },
      1);
  while (seen == 0) {
    std::this_thread::yield();
  }
  stopping = true;
  prefaulter.Stop();
  stopped = true;
  const int at_stop = seen;
  prefaulter.Stop();  // a second Stop is harmless
  EXPECT_EQ(late, 0);
  EXPECT_EQ(seen, at_stop);
  EXPECT_LT(at_stop, static_cast<int>(buffer.size())) << "stopped before the end";
}

TEST(PagePrefaulterTest, PlatformCommitKeepsTheBytes) {
  std::vector<std::uint8_t> buffer(3 * PagePrefaulter::kDefaultChunk + 123);
  for (std::size_t i = 0; i < buffer.size(); ++i) {
    buffer[i] = static_cast<std::uint8_t>(i * 7);
  }
  const std::vector<std::uint8_t> before = buffer;
  {
    PagePrefaulter prefaulter;
    prefaulter.Start(buffer.data(), buffer.size());
  }
  EXPECT_EQ(buffer, before);
  // A range the system refuses to lock reports false rather than failing
  // anything else; one page always fits the default quotas.
  EXPECT_TRUE(CommitPages(buffer.data(), 4096));
}

}  // namespace
}  // namespace zevrino::desktop::installer
