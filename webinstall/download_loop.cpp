#include "webinstall/download_loop.h"

#include <limits>
#include <memory>

namespace zevrino::desktop::installer {

ResultCode CopyDownload(DownloadSource* source, DownloadSink* sink, std::uint64_t content_length,
                        const DownloadShared& shared) {
  shared.progress->bytes_expected.store(content_length, std::memory_order_relaxed);
  shared.progress->bytes_received.store(0, std::memory_order_relaxed);

  // On the heap: the installing thread's stack is left to its callers.
  const auto buffer = std::make_unique<std::uint8_t[]>(kDownloadReadSize);
  std::uint64_t total = 0;
  bool first_read = true;
  for (;;) {
    if (shared.cancel_requested->load(std::memory_order_relaxed)) {
      return kCancelled;
    }
    if (shared.wait_for_cancel_question) {
      shared.wait_for_cancel_question();
    }
    std::uint32_t count = 0;
    if (!source->Read(buffer.get(), kDownloadReadSize, &count)) {
      return kInternetFailed;
    }
    if (first_read && count >= 2 && (buffer[0] != 'M' || buffer[1] != 'Z')) {
      return kDownloadInvalid;
    }
    first_read = false;
    if (count == 0) {
      return total == content_length ? kSuccess : kDownloadInvalid;
    }
    if (!sink->Write(buffer.get(), count)) {
      return kOutOfMemory;
    }
    total += count;
    shared.progress->bytes_received.fetch_add(count, std::memory_order_relaxed);
  }
}

std::uint64_t ParseContentLength(const char* value) {
  if (value == nullptr) {
    return 0;
  }
  while (*value == ' ' || *value == '\t') {
    ++value;
  }
  std::uint64_t length = 0;
  bool any_digit = false;
  for (; *value >= '0' && *value <= '9'; ++value) {
    const auto digit = static_cast<std::uint64_t>(*value - '0');
    if (length > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
      return 0;
    }
    length = length * 10 + digit;
    any_digit = true;
  }
  while (*value == ' ' || *value == '\t') {
    ++value;
  }
  return any_digit && *value == '\0' ? length : 0;
}

}  // namespace zevrino::desktop::installer
