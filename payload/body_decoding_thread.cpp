#include "payload/body_decoding_thread.h"

#include <new>
#include <system_error>

#include "installer/result_code.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kPrefaultFrom = 4 << 20;

}  // namespace

BodyDecodingThread::~BodyDecodingThread() {
  if (thread_.joinable()) {
    thread_.join();
  }
  prefaulter_.Stop();
}

bool BodyDecodingThread::Start(const PayloadBodyHeader& header, ErrorCode* error) {
  header_ = header;
  size_ = header.OutputSize();
  // Not value-initialised: the decoder writes every byte before anyone may
  // read it, and zeroing 300 MB first would cost time on the critical path.
  output_.reset(new (std::nothrow) std::uint8_t[size_ == 0 ? 1 : size_]);
  if (!output_) {
    size_ = 0;
    *error = ErrorCode::Installer(static_cast<std::int32_t>(kOutOfMemory));
    return false;
  }
  // The decoder would otherwise stop at the first touch of every page of
  // the fresh output, on the critical path. Not worth a thread for a small
  // body.
  if (size_ >= kPrefaultFrom) {
    prefaulter_.Start(output_.get(), size_);
  }
  try {
    thread_ = std::thread([this] { Decode(); });
  } catch (const std::system_error&) {
    Decode();  // no second thread: the owner finds everything final at once
  }
  error->clear();
  return true;
}

void BodyDecodingThread::Decode() {
  ErrorCode error;
  const bool ok = DecodePayloadBodyInto(
      header_, output_.get(), [this](std::size_t final_bytes) { Publish(final_bytes); }, &error);
  prefaulter_.Stop();  // nothing left to gain; ends early after a failure
  std::lock_guard<std::mutex> lock(mutex_);
  succeeded_ = ok;
  error_ = error;
  ended_ = true;
  changed_.notify_all();
}

void BodyDecodingThread::Publish(std::size_t final_bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  final_bytes_ = final_bytes;
  // Most slices arrive while the owner is busy writing: wake it only when
  // what it waits for is there.
  if (awaited_ != 0 && final_bytes_ >= awaited_) {
    changed_.notify_all();
  }
}

bool BodyDecodingThread::WaitFor(std::size_t count) {
  if (count > size_) {
    count = size_;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  awaited_ = count;
  changed_.wait(lock, [&] { return final_bytes_ >= count || ended_; });
  awaited_ = 0;
  // A successful decoding reports the whole output before it ends.
  return final_bytes_ >= count;
}

bool BodyDecodingThread::Finish(ErrorCode* error) {
  if (thread_.joinable()) {
    thread_.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  *error = error_;
  return succeeded_;
}

}  // namespace zevrino::desktop::installer
