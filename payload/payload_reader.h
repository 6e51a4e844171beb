#pragma once
// PayloadReader: a non-owning view of bytes with a read position, used over the
// memory-mapped installer file, the payload body and the package archive.
//
//   begin <= position <= end
//
// Every operation either succeeds completely and moves the position, or fails
// and leaves the reader exactly as it was. No operation ever reads at or past
// end. The viewed bytes must outlive the reader.
//
// Varint: an unsigned 32-bit value in 1 to 5 bytes, least significant 7-bit
// group first; bit 7 of a byte says that another byte follows. Byte k adds its
// low 7 bits shifted left by 7*k; bits above bit 31 are dropped, so only the
// low 4 bits of a fifth byte count. A fifth byte with bit 7 set, or data ending
// before the last byte, is a failure.

#include <cstddef>
#include <cstdint>

namespace zevrino::desktop::installer {

class PayloadReader {
 public:
  PayloadReader() = default;
  // position = begin. Requires begin <= end (both null for an empty view).
  PayloadReader(const std::uint8_t* begin, const std::uint8_t* end);

  // Copies the next n bytes; fails if fewer than n remain.
  bool ReadBytes(void* destination, std::size_t n);
  // Decodes one varint (see above).
  bool ReadVarint(std::uint32_t* out);
  // Moves past n bytes; fails if fewer than n remain.
  bool Skip(std::size_t n);
  // Gives *out a reader over the next n bytes and moves past them; fails if
  // fewer than n remain (then *out is untouched).
  bool Take(std::size_t n, PayloadReader* out);

  std::size_t Remaining() const { return static_cast<std::size_t>(end_ - position_); }
  const std::uint8_t* begin() const { return begin_; }
  const std::uint8_t* position() const { return position_; }
  const std::uint8_t* end() const { return end_; }

  // Views [begin, end) with position = begin.
  void Reseat(const std::uint8_t* begin, const std::uint8_t* end);

 private:
  const std::uint8_t* begin_ = nullptr;
  const std::uint8_t* position_ = nullptr;
  const std::uint8_t* end_ = nullptr;
};

// Largest encoded size of a varint.
constexpr std::size_t kMaxVarintSize = 5;

// Writes the varint form of value into out and returns its length (1 to 5).
std::size_t EncodeVarint(std::uint32_t value, std::uint8_t out[kMaxVarintSize]);

}  // namespace zevrino::desktop::installer
