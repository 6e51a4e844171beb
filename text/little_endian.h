#pragma once
// Little-endian integers read from bytes, whatever the byte order of the
// machine: the one reader of every format the installer and its tools parse
// (the payload container, PE headers, LZMA properties, the x86 filter's
// operands, the download description, message catalogs). The caller makes
// sure the bytes are there.

#include <cstdint>

namespace text {

inline std::uint16_t LoadLittleEndian16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t LoadLittleEndian32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

}  // namespace text
