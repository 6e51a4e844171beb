#include "payload/sha1.h"

#include <cstring>

namespace zevrino::desktop::installer {
namespace {

constexpr std::uint32_t kInitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476,
                                            0xC3D2E1F0};

using CompressFunction = void (*)(std::uint32_t*, const std::uint8_t*, std::size_t);

// Chosen once; the static's initialisation is thread-safe.
CompressFunction Compress() {
  static const CompressFunction function = sha1_internal::HasShaExtensions()
                                               ? sha1_internal::CompressShaNi
                                               : sha1_internal::CompressPortable;
  return function;
}

void StoreBigEndian32(std::uint32_t value, std::uint8_t* out) {
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
}

}  // namespace

Sha1::Sha1() {
  Reset();
}

void Sha1::Reset() {
  std::memcpy(state_, kInitialState, sizeof(state_));
  length_ = 0;
  block_used_ = 0;
}

void Sha1::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (block_used_ != 0) {
    const std::size_t n = size < 64 - block_used_ ? size : 64 - block_used_;
    std::memcpy(block_ + block_used_, bytes, n);
    block_used_ += n;
    bytes += n;
    size -= n;
    if (block_used_ < 64) {
      return;
    }
    Compress()(state_, block_, 1);
    block_used_ = 0;
  }
  // Whole blocks straight from the caller's memory (the mapping), no copy.
  if (size >= 64) {
    Compress()(state_, bytes, size / 64);
    bytes += size & ~std::size_t{63};
    size &= 63;
  }
  if (size != 0) {
    std::memcpy(block_, bytes, size);
    block_used_ = size;
  }
}

void Sha1::Final(std::uint8_t out[kSha1DigestSize]) {
  const std::uint64_t bit_length = length_ * 8;
  std::uint8_t tail[128] = {};
  std::memcpy(tail, block_, block_used_);
  tail[block_used_] = 0x80;
  const std::size_t tail_size = block_used_ < 56 ? 64 : 128;
  for (int i = 0; i < 8; ++i) {
    tail[tail_size - 1 - i] = static_cast<std::uint8_t>(bit_length >> (8 * i));
  }
  Compress()(state_, tail, tail_size / 64);
  for (int i = 0; i < 5; ++i) {
    StoreBigEndian32(state_[i], out + 4 * i);
  }
}

void Sha1Digest(const void* data, std::size_t size, std::uint8_t out[kSha1DigestSize]) {
  Sha1 sha1;
  sha1.Update(data, size);
  sha1.Final(out);
}

}  // namespace zevrino::desktop::installer
