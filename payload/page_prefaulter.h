#pragma once
// PagePrefaulter: has the system commit the pages of a fresh buffer on a
// thread of its own, ahead of the thread that fills it, so that the filling
// thread does not stop at every page it touches first (some 75,000 times for
// a 300 MB payload body). It never reads or writes the buffer itself: the
// commit function asks the kernel to make a range resident (VirtualLock and
// VirtualUnlock on Windows, mlock and munlock elsewhere), which leaves the
// bytes as they are, so it may run beside the writer without a data race.
//
// Only an optimisation: the first failed commit (a small lock quota, say)
// ends the prefaulting and nothing else.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <thread>

namespace zevrino::desktop::installer {

// Makes [address, address + size) resident and returns true, or changes
// nothing and returns false.
using CommitPagesFunction = std::function<bool(void* address, std::size_t size)>;

// The platform's commit: lock the range, which faults its pages in, and
// unlock it again at once.
bool CommitPages(void* address, std::size_t size);

class PagePrefaulter {
 public:
  // Small enough for the default lock quota of a Windows process.
  static constexpr std::size_t kDefaultChunk = 64 * 1024;

  PagePrefaulter() = default;
  ~PagePrefaulter() { Stop(); }
  PagePrefaulter(const PagePrefaulter&) = delete;
  PagePrefaulter& operator=(const PagePrefaulter&) = delete;

  // Commits [data, data + size) chunk by chunk from the front on a new
  // thread. Does nothing when no thread can be started.
  void Start(std::uint8_t* data, std::size_t size, CommitPagesFunction commit = CommitPages,
             std::size_t chunk = kDefaultChunk);

  // Ends the prefaulting (at the next chunk) and waits for its thread; no
  // commit runs after it returns. The buffer must outlive this call.
  void Stop();

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace zevrino::desktop::installer
