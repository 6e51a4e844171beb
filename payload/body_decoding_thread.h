#pragma once
// BodyDecodingThread: decodes a payload body on a second thread into memory
// it owns, while the thread that started it uses the bytes already final
// (decoded and converted by the x86 filter). Installing files from the front
// of the archive thus overlaps the decoding of the rest, without a second
// copy of the body and without changing what the decoding produces. The x86
// filter is undone on the owner's thread, which mostly waits, so that the
// decoding thread, which sets the pace, only decodes.
//
// The owner calls Start, then WaitFor as often as it likes, then Finish; the
// destructor waits for the decoding thread, so the memory outlives every
// read. A small body, or one for which no thread can be started, is decoded
// by Start on the calling thread.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "base/error_code.h"
#include "payload/bcj_x86.h"
#include "payload/page_prefaulter.h"
#include "payload/payload_decoder.h"

namespace zevrino::desktop::installer {

class BodyDecodingThread {
 public:
  BodyDecodingThread() = default;
  ~BodyDecodingThread();
  BodyDecodingThread(const BodyDecodingThread&) = delete;
  BodyDecodingThread& operator=(const BodyDecodingThread&) = delete;

  // Allocates the output (error 11 when memory is short) and starts decoding
  // the body that `header` describes. The payload bytes the header views must
  // stay valid until Finish or the destructor. `stop`, asked on the decoding
  // thread between slices, ends the decoding early with 19.
  bool Start(const PayloadBodyHeader& header, ErrorCode& error, DecodeStopFunction stop = {});

  // The output: size() bytes, of which the first WaitFor has confirmed are
  // final; the rest must not be read before Finish has succeeded.
  const std::uint8_t* data() const { return output_.get(); }
  std::size_t size() const { return size_; }

  // Blocks until the first `count` bytes (at most size()) are final: true.
  // False when the decoding ended without producing them (it failed).
  bool WaitFor(std::size_t count);

  // Waits for the decoding to end; its result, as DecodePayloadBodyInto's.
  // After success the whole output is final.
  bool Finish(ErrorCode& error);

  // Frees the output once Finish has returned and nobody reads it any more;
  // size() is 0 afterwards. Safe on any one thread at a time.
  void ReleaseOutput();

 private:
  void Decode();
  void Publish(std::size_t decoded_bytes);
  // Makes the first `decoded` bytes final as far as the filter allows.
  void Convert(std::size_t decoded);

  PayloadBodyHeader header_;
  DecodeStopFunction stop_;
  std::unique_ptr<std::uint8_t[]> output_;
  std::size_t size_ = 0;
  std::thread thread_;
  // Commits the output's pages ahead of the decoder; stopped when the
  // decoding ends, and before the output is freed.
  PagePrefaulter prefaulter_;

  // The owner's: undoes the x86 filter behind the decoder when the body
  // needs it, and how many bytes are final.
  bool convert_ = false;
  BcjX86StreamDecoder converter_;
  std::size_t final_bytes_ = 0;

  // Written by the decoding thread, read by the owner, under mutex_.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t decoded_bytes_ = 0;
  std::size_t awaited_ = 0;  // decoded bytes the owner waits for; 0 when not waiting
  bool ended_ = false;
  bool succeeded_ = false;
  ErrorCode error_;
};

}  // namespace zevrino::desktop::installer
