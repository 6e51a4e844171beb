// The portable SHA-1 compression function (FIPS 180-4, section 6.1.2), with
// the message schedule kept in a 16-word ring.

#include "payload/sha1.h"

namespace zevrino::desktop::installer::sha1_internal {
namespace {

inline std::uint32_t Rotl(std::uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

inline std::uint32_t LoadBigEndian32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

}  // namespace

void CompressPortable(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  for (; blocks != 0; --blocks, data += 64) {
    std::uint32_t w[16];
    for (int t = 0; t < 16; ++t) {
      w[t] = LoadBigEndian32(data + 4 * t);
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int t = 0; t < 80; ++t) {
      if (t >= 16) {
        w[t & 15] = Rotl(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
      }
      std::uint32_t f;
      std::uint32_t k;
      if (t < 20) {
        f = (b & c) | (~b & d);
        k = 0x5A827999;
      } else if (t < 40) {
        f = b ^ c ^ d;
        k = 0x6ED9EBA1;
      } else if (t < 60) {
        f = (b & c) | (b & d) | (c & d);
        k = 0x8F1BBCDC;
      } else {
        f = b ^ c ^ d;
        k = 0xCA62C1D6;
      }
      const std::uint32_t temp = Rotl(a, 5) + f + e + k + w[t & 15];
      e = d;
      d = c;
      c = Rotl(b, 30);
      b = a;
      a = temp;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}

}  // namespace zevrino::desktop::installer::sha1_internal
