#pragma once
// Move-less owner of an lzma_stream: lzma_end runs on every path out of the
// scope that initialised it.

#include <lzma.h>

namespace zevrino::desktop::installer {

class LzmaStreamOwner {
 public:
  LzmaStreamOwner() = default;
  LzmaStreamOwner(const LzmaStreamOwner&) = delete;
  LzmaStreamOwner& operator=(const LzmaStreamOwner&) = delete;
  ~LzmaStreamOwner() { lzma_end(&stream_); }

  lzma_stream* get() { return &stream_; }

 private:
  lzma_stream stream_ = LZMA_STREAM_INIT;
};

}  // namespace zevrino::desktop::installer
