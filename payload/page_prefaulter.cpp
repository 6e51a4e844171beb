#include "payload/page_prefaulter.h"

#include <algorithm>
#include <system_error>

namespace zevrino::desktop::installer {

void PagePrefaulter::Start(std::uint8_t* data, std::size_t size, CommitPagesFunction commit,
                           std::size_t chunk) {
  Stop();
  stop_ = false;
  if (chunk == 0 || size == 0) {
    return;
  }
  try {
    thread_ = std::thread([this, data, size, chunk, commit = std::move(commit)] {
      for (std::size_t offset = 0; offset < size && !stop_.load(std::memory_order_relaxed);
           offset += chunk) {
        if (!commit(data + offset, std::min(chunk, size - offset))) {
          return;
        }
      }
    });
  } catch (const std::system_error&) {
    // The writer touches its pages itself, as without this.
  }
}

void PagePrefaulter::Stop() {
  stop_ = true;
  if (thread_.joinable()) {
    thread_.join();
  }
}

}  // namespace zevrino::desktop::installer
