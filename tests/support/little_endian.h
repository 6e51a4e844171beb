#pragma once
// Little-endian numbers written into and read from the byte strings the
// tests build (std::string or std::vector<std::uint8_t>), as the installer's
// formats store them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zevrino::desktop::installer::testing {

// Overwrites the bytes at `at`, which must exist.
template <typename Buffer>
void PutLe16(Buffer* bytes, std::size_t at, std::uint16_t value) {
  (*bytes)[at] = static_cast<typename Buffer::value_type>(value);
  (*bytes)[at + 1] = static_cast<typename Buffer::value_type>(value >> 8);
}

template <typename Buffer>
void PutLe32(Buffer* bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    (*bytes)[at + i] = static_cast<typename Buffer::value_type>(value >> (8 * i));
  }
}

template <typename Buffer>
void AppendLe32(Buffer* bytes, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) {
    bytes->push_back(static_cast<typename Buffer::value_type>(value >> (8 * i)));
  }
}

// The four bytes of `value`.
inline std::vector<std::uint8_t> Le32Bytes(std::uint32_t value) {
  std::vector<std::uint8_t> bytes;
  AppendLe32(&bytes, value);
  return bytes;
}

// The value at `at`; 0 when the two bytes are not both there.
template <typename Buffer>
std::uint16_t GetLe16(const Buffer& bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) {
    return 0;
  }
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[at]) |
                                    static_cast<std::uint8_t>(bytes[at + 1]) << 8);
}

// The value at `at`; 0 when the four bytes are not all there.
template <typename Buffer>
std::uint32_t GetLe32(const Buffer& bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) {
    return 0;
  }
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
  }
  return value;
}

}  // namespace zevrino::desktop::installer::testing
