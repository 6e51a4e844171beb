#include "payload/body_decoding_thread.h"

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

#include "base/result_code.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kPrefaultFrom = 4 << 20;

// A small body decodes in a few milliseconds, less than what a thread's start
// and end cost; it is decoded on the owner's thread.
constexpr std::size_t kDecodeOnThreadFrom = 1 << 20;

// A long wait is cut into steps of this many decoded bytes, each converted
// as it arrives, so that little conversion is left when the last byte comes.
constexpr std::size_t kConversionStep = 4 << 20;

}  // namespace

BodyDecodingThread::~BodyDecodingThread() {
  if (thread_.joinable()) {
    thread_.join();
  }
  prefaulter_.Stop();
}

bool BodyDecodingThread::Start(const PayloadBodyHeader& header, ErrorCode& error,
                               DecodeStopFunction stop) {
  header_ = header;
  stop_ = std::move(stop);
  size_ = header.OutputSize();
  convert_ = NeedsX86Conversion(header);
  // Not value-initialised: the decoder writes every byte before anyone may
  // read it, and zeroing 300 MB first would cost time on the critical path.
  output_.reset(new (std::nothrow) std::uint8_t[size_ == 0 ? 1 : size_]);
  if (!output_) {
    size_ = 0;
    error = ErrorCode::Installer(kOutOfMemory);
    return false;
  }
  // The decoder would otherwise stop at the first touch of every page of
  // the fresh output, on the critical path. Not worth a thread for a small
  // body.
  if (size_ >= kPrefaultFrom) {
    prefaulter_.Start(output_.get(), size_);
  }
  if (size_ < kDecodeOnThreadFrom) {
    Decode();  // the owner finds everything final at once
  } else {
    try {
      thread_ = std::thread([this] { Decode(); });
    } catch (const std::system_error&) {
      Decode();  // no second thread: as for a small body
    }
  }
  error.clear();
  return true;
}

void BodyDecodingThread::Decode() {
  ErrorCode error;
  const bool ok = DecodePayloadBodyInto(
      header_, output_.get(), [this](std::size_t decoded_bytes) { Publish(decoded_bytes); }, error,
      X86Conversion::kByCaller, stop_);
  prefaulter_.Stop();  // nothing left to gain; ends early after a failure
  std::lock_guard<std::mutex> lock(mutex_);
  succeeded_ = ok;
  error_ = error;
  ended_ = true;
  changed_.notify_all();
}

void BodyDecodingThread::Publish(std::size_t decoded_bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  decoded_bytes_ = decoded_bytes;
  // Most slices arrive while the owner is busy writing: wake it only when
  // what it waits for is there.
  if (awaited_ != 0 && decoded_bytes_ >= awaited_) {
    changed_.notify_all();
  }
}

void BodyDecodingThread::Convert(std::size_t decoded) {
  // The decoder reports the whole output only once it has succeeded, and no
  // byte follows the last one.
  final_bytes_ = convert_ ? converter_.Advance(output_.get(), decoded, decoded == size_) : decoded;
}

bool BodyDecodingThread::WaitFor(std::size_t count) {
  if (count > size_) {
    count = size_;
  }
  const std::size_t lookahead = convert_ ? BcjX86StreamDecoder::kLookahead : 0;
  while (final_bytes_ < count) {
    std::size_t decoded = 0;
    bool ended = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      // Always more than the bytes converted so far hold, so every round
      // makes progress.
      awaited_ = std::min({size_, count + lookahead, final_bytes_ + kConversionStep});
      changed_.wait(lock, [&] { return decoded_bytes_ >= awaited_ || ended_; });
      awaited_ = 0;
      decoded = decoded_bytes_;
      ended = ended_;
    }
    Convert(decoded);
    if (ended && final_bytes_ < count) {
      return false;  // the decoding failed before these bytes
    }
  }
  return true;
}

bool BodyDecodingThread::Finish(ErrorCode& error) {
  if (thread_.joinable()) {
    thread_.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  error = error_;
  if (succeeded_) {
    Convert(decoded_bytes_);
  }
  return succeeded_;
}

void BodyDecodingThread::ReleaseOutput() {
  prefaulter_.Stop();
  output_.reset();
  size_ = 0;
}

}  // namespace zevrino::desktop::installer
