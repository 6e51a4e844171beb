#pragma once
// DownloadProgressState: written by the web installer's download on the
// installing thread, read by the progress window every 30 ms. Each field is an
// atomic with relaxed ordering: a tick may see a mix of old and new fields,
// which only affects that one update. Byte counts are 64-bit so that downloads
// of 4 GiB and more are counted and compared without wrapping.

#include <atomic>
#include <cstdint>

namespace zevrino::desktop::installer {

struct DownloadProgressState {
  std::atomic<std::uint64_t> bytes_received{0};
  std::atomic<std::uint64_t> bytes_expected{0};  // 0: no length announced
  std::atomic<bool> downloading{false};
  std::atomic<std::uint32_t> retry_countdown{0};  // seconds; 0: none running
};

}  // namespace zevrino::desktop::installer
