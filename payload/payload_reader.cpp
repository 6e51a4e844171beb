#include "payload/payload_reader.h"

#include <cstring>

namespace zevrino::desktop::installer {

PayloadReader::PayloadReader(const std::uint8_t* begin, const std::uint8_t* end)
    : begin_(begin), position_(begin), end_(end) {}

void PayloadReader::Reseat(const std::uint8_t* begin, const std::uint8_t* end) {
  begin_ = begin;
  position_ = begin;
  end_ = end;
}

bool PayloadReader::ReadBytes(void* destination, std::size_t n) {
  if (n > Remaining()) {
    return false;
  }
  if (n != 0) {
    std::memcpy(destination, position_, n);
  }
  position_ += n;
  return true;
}

bool PayloadReader::ReadVarint(std::uint32_t* out) {
  std::uint32_t value = 0;
  const std::size_t available = Remaining();
  for (std::size_t k = 0; k < kMaxVarintSize; ++k) {
    if (k == available) {
      return false;  // data ends before the last byte
    }
    const std::uint8_t byte = position_[k];
    // Shifting by 28 keeps only the low 4 bits of a fifth byte.
    value |= static_cast<std::uint32_t>(byte & 0x7F) << (7 * k);
    if ((byte & 0x80) == 0) {
      position_ += k + 1;
      *out = value;
      return true;
    }
  }
  return false;  // the fifth byte announces a sixth
}

bool PayloadReader::Skip(std::size_t n) {
  if (n > Remaining()) {
    return false;
  }
  position_ += n;
  return true;
}

bool PayloadReader::Take(std::size_t n, PayloadReader* out) {
  if (n > Remaining()) {
    return false;
  }
  out->Reseat(position_, position_ + n);
  position_ += n;
  return true;
}

std::size_t EncodeVarint(std::uint32_t value, std::uint8_t out[kMaxVarintSize]) {
  std::size_t n = 0;
  while (value >= 0x80) {
    out[n++] = static_cast<std::uint8_t>(value | 0x80);
    value >>= 7;
  }
  out[n++] = static_cast<std::uint8_t>(value);
  return n;
}

}  // namespace zevrino::desktop::installer
