#pragma once
// Fakes for the download transfer: a source that hands out scripted reads and
// a sink that keeps what it gets, failing on request.

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "webinstall/download_loop.h"
#include "webinstall/download_resume.h"

namespace zevrino::desktop::installer::testing {

using Bytes = std::vector<std::uint8_t>;

class ScriptedSource : public DownloadSource {
 public:
  // Each read hands out the next block (cut to the capacity asked for);
  // after the last block, reads return 0 bytes. Read number `fail_at`
  // (0-based) fails when set. Before read number i, ReadyBytes reports
  // ready[i] (0 past the end of `ready`).
  explicit ScriptedSource(std::vector<Bytes> blocks, std::vector<std::uint64_t> ready = {})
      : ready_(std::move(ready)), blocks_(std::move(blocks)) {}

  std::uint64_t ReadyBytes() override {
    return static_cast<std::size_t>(reads) < ready_.size() ? ready_[reads] : 0;
  }

  bool Read(std::uint8_t* buffer, std::uint32_t capacity, std::uint32_t* count) override {
    capacities.push_back(capacity);
    largest_capacity = capacity > largest_capacity ? capacity : largest_capacity;
    if (reads++ == fail_at) {
      if (on_fail) {
        on_fail();
      }
      return false;
    }
    if (next_ == blocks_.size()) {
      *count = 0;
      return true;
    }
    const Bytes& block = blocks_[next_++];
    const std::uint32_t n = static_cast<std::uint32_t>(block.size()) < capacity
                                ? static_cast<std::uint32_t>(block.size())
                                : capacity;
    std::memcpy(buffer, block.data(), n);
    *count = n;
    return true;
  }

  int reads = 0;
  int fail_at = -1;
  std::function<void()> on_fail;  // runs inside the failing read
  std::uint32_t largest_capacity = 0;
  std::vector<std::uint32_t> capacities;  // asked for, read by read

 private:
  std::vector<std::uint64_t> ready_;
  std::vector<Bytes> blocks_;
  std::size_t next_ = 0;
};

class RecordingSink : public DownloadSink {
 public:
  bool Write(const std::uint8_t* buffer, std::uint32_t count) override {
    if (writes++ == fail_at) {
      return false;
    }
    data.insert(data.end(), buffer, buffer + count);
    return true;
  }
  bool Restart() override {
    data.clear();
    return true;
  }
  ResultCode CheckRoomFor(std::uint64_t bytes) override {
    return bytes > room ? ResultCode{kWriteFailed} : ResultCode{kSuccess};
  }

  Bytes data;
  int writes = 0;
  int fail_at = -1;
  std::uint64_t room = ~std::uint64_t{0};  // free bytes on the sink's volume
};

// Answers each Open with the next reply and serves its body (whose read
// `fail_at` fails, as a broken connection's); past the last, Open gives 52.
class ScriptedConnection : public DownloadConnection {
 public:
  struct Reply {
    DownloadAnswer answer;
    std::vector<Bytes> blocks;
    int fail_at = -1;
  };
  explicit ScriptedConnection(std::vector<Reply> replies) : replies_(std::move(replies)) {}

  ResultCode Open(std::uint64_t from, const std::string& validator,
                  DownloadAnswer* answer) override {
    froms.push_back(from);
    validators.push_back(validator);
    if (froms.size() > replies_.size()) {
      return kUrlOpenFailed;
    }
    *answer = replies_[froms.size() - 1].answer;
    body_ = ScriptedSource(replies_[froms.size() - 1].blocks);
    body_.fail_at = replies_[froms.size() - 1].fail_at;
    return kSuccess;
  }
  DownloadSource* Body() override { return &body_; }

  std::vector<std::uint64_t> froms;     // what each Open asked for
  std::vector<std::string> validators;  // and with which If-Range

 private:
  std::vector<Reply> replies_;
  ScriptedSource body_{{}};
};

// An executable-looking block of `size` bytes ("MZ" and a pattern).
inline Bytes ExecutableBlock(std::size_t size, std::uint8_t seed = 0) {
  Bytes block(size);
  for (std::size_t i = 0; i < size; ++i) {
    block[i] = static_cast<std::uint8_t>(i * 31 + seed);
  }
  if (size >= 2) {
    block[0] = 'M';
    block[1] = 'Z';
  }
  return block;
}

}  // namespace zevrino::desktop::installer::testing
