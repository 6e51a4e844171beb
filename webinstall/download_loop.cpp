#include "webinstall/download_loop.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "webinstall/download_failure.h"

namespace zevrino::desktop::installer {

std::uint32_t DownloadReadSize(std::uint64_t ready_bytes) {
  return static_cast<std::uint32_t>(
      std::clamp<std::uint64_t>(ready_bytes, kDownloadReadSize, kDownloadReadCap));
}

ResultCode CopyDownload(DownloadSource* source, DownloadSink* sink, std::uint64_t content_length,
                        const DownloadShared& shared) {
  return CopyDownloadPiece(source, sink, content_length, 0, shared).result;
}

CopyOutcome CopyDownloadPiece(DownloadSource* source, DownloadSink* sink, std::uint64_t length,
                              std::uint64_t offset, const DownloadShared& shared,
                              const std::string& content_type) {
  shared.progress->bytes_expected.store(length, std::memory_order_relaxed);
  shared.progress->bytes_received.store(offset, std::memory_order_relaxed);

  // On the heap: the installing thread's stack is left to its callers.
  const auto buffer = std::make_unique<std::uint8_t[]>(kDownloadReadCap);
  std::uint64_t total = offset;
  const auto outcome = [&total, length](ResultCode result, bool may_resume) {
    return CopyOutcome{result, total, may_resume && length != 0 && total < length};
  };
  std::uint8_t first_byte = 0;
  for (;;) {
    if (shared.cancel_requested->load(std::memory_order_relaxed)) {
      return outcome(kCancelled, false);
    }
    if (shared.wait_for_cancel_question) {
      shared.wait_for_cancel_question();
    }
    std::uint32_t count = 0;
    if (!source->Read(buffer.get(), DownloadReadSize(source->ReadyBytes()), &count)) {
      return shared.cancel_requested->load(std::memory_order_relaxed)
                 ? outcome(kCancelled, false)
                 : outcome(kInternetFailed, true);
    }
    // The read that completes the body's first two bytes judges them, also
    // when an earlier read brought only the first one.
    if (total < 2 && total + count >= 2) {
      const std::uint8_t first = total == 0 ? buffer[0] : first_byte;
      const std::uint8_t second = buffer[1 - total];
      if (first != 'M' || second != 'Z') {
        // The start of the body, for telling an HTML page from other bytes.
        std::string start(1, static_cast<char>(first));
        start.append(reinterpret_cast<const char*>(buffer.get()) + 1 - total,
                     std::min<std::uint32_t>(count - static_cast<std::uint32_t>(1 - total), 64));
        return outcome(
            NotAnExecutableCode(content_type, reinterpret_cast<const std::uint8_t*>(start.data()),
                                start.size()),
            false);
      }
    }
    if (total == 0 && count > 0) {
      first_byte = buffer[0];
    }
    if (count == 0) {
      return outcome(total == length ? kSuccess : kDownloadInvalid, true);
    }
    if (count > (length != 0 ? length : kMaxBodySize) - total) {
      return outcome(kDownloadInvalid, false);
    }
    if (!sink->Write(buffer.get(), count)) {
      return outcome(kOutOfMemory, false);
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
  if (!ReadDecimal(&value, &length)) {
    return 0;
  }
  while (*value == ' ' || *value == '\t') {
    ++value;
  }
  return *value == '\0' ? length : 0;
}

bool ReadDecimal(const char** text, std::uint64_t* value) {
  const char* start = *text;
  *value = 0;
  for (; **text >= '0' && **text <= '9'; ++*text) {
    const auto digit = static_cast<std::uint64_t>(**text - '0');
    if (*value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
      return false;
    }
    *value = *value * 10 + digit;
  }
  return *text != start;
}

}  // namespace zevrino::desktop::installer
