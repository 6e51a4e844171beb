#include "payload/bcj_x86.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/little_endian.h"

namespace zevrino::desktop::installer {
namespace {

// True for 00 and FF: the most significant byte of a rel32 that reaches at
// most 16 MiB forward or backward, which is what real branch targets look like.
inline bool IsNearMsb(std::uint8_t b) {
  return ((b + 1) & 0xFE) == 0;
}

// First byte in [p, limit) that is E8 or E9, or limit. Branch opcodes are a
// few percent of the bytes even in code, so skipping 16 bytes at a time where
// there are none makes this pass a small part of the decoding time.
inline std::uint8_t* FindBranchOpcode(std::uint8_t* p, const std::uint8_t* limit) {
#if defined(__SSE2__)
  const __m128i opcode_mask = _mm_set1_epi8(static_cast<char>(0xFE));
  const __m128i opcode = _mm_set1_epi8(static_cast<char>(0xE8));
  while (limit - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(bytes, opcode_mask), opcode));
    if (hits != 0) {
      return p + __builtin_ctz(static_cast<unsigned>(hits));
    }
    p += 16;
  }
#endif
  while (p < limit && (*p & 0xFE) != 0xE8) {
    ++p;
  }
  return p;
}

}  // namespace

// The converter looks at every E8/E9 byte. `mask` remembers which of the
// previous three bytes were E8/E9 that were not converted (bit 2 = one byte
// back ... bit 0 = three back); an operand that overlaps such a byte is only
// converted when the overlap could not itself be a branch target, which keeps
// the transform reversible.
std::size_t BcjX86Convert(std::uint8_t* data, std::size_t size, std::uint32_t* position,
                          std::uint32_t* state, bool encoding) {
  std::size_t pos = 0;
  std::uint32_t mask = *state & 7;
  if (size < 5) {
    return 0;
  }
  const std::uint32_t ip = *position + 5;  // rel32 counts from the next instruction
  const std::uint8_t* const limit = data + size - 4;
  for (;;) {
    std::uint8_t* p = FindBranchOpcode(data + pos, limit);
    const std::size_t gap = static_cast<std::size_t>(p - data) - pos;
    pos = static_cast<std::size_t>(p - data);
    if (p >= limit) {
      *state = gap > 2 ? 0 : mask >> gap;
      *position += static_cast<std::uint32_t>(pos);
      return pos;
    }
    if (gap > 2) {
      mask = 0;
    } else {
      mask >>= gap;
      if (mask != 0 && (mask > 4 || mask == 3 || IsNearMsb(p[(mask >> 1) + 1]))) {
        mask = (mask >> 1) | 4;
        ++pos;
        continue;
      }
    }
    if (IsNearMsb(p[4])) {
      std::uint32_t v = text::LoadLittleEndian32(p + 1);
      const std::uint32_t cur = ip + static_cast<std::uint32_t>(pos);
      pos += 5;
      v = encoding ? v + cur : v - cur;
      if (mask != 0) {
        const unsigned shift = (mask & 6) << 2;
        if (IsNearMsb(static_cast<std::uint8_t>(v >> shift))) {
          v ^= (std::uint32_t{0x100} << shift) - 1;
          v = encoding ? v + cur : v - cur;
        }
        mask = 0;
      }
      p[1] = static_cast<std::uint8_t>(v);
      p[2] = static_cast<std::uint8_t>(v >> 8);
      p[3] = static_cast<std::uint8_t>(v >> 16);
      p[4] = static_cast<std::uint8_t>(0 - ((v >> 24) & 1));
    } else {
      mask = (mask >> 1) | 4;
      ++pos;
    }
  }
}

std::size_t BcjX86StreamDecoder::Advance(std::uint8_t* data, std::size_t available, bool complete) {
  if (available > final_) {
    final_ += BcjX86Convert(data + final_, available - final_, &position_, &state_, false);
  }
  if (complete) {
    final_ = available;
  }
  return final_;
}

void BcjX86Decode(std::uint8_t* data, std::size_t size) {
  std::uint32_t position = 0;
  std::uint32_t state = 0;
  BcjX86Convert(data, size, &position, &state, false);
}

void BcjX86Encode(std::uint8_t* data, std::size_t size) {
  std::uint32_t position = 0;
  std::uint32_t state = 0;
  BcjX86Convert(data, size, &position, &state, true);
}

}  // namespace zevrino::desktop::installer
