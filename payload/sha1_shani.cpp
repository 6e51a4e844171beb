// SHA-1 compression with the x86 SHA extensions. Only this file is compiled
// for them, through a target attribute (GCC and clang), so the rest of the
// program runs on any x86-64; HasShaExtensions() decides at run time whether
// CompressShaNi may be called.
//
// Each 4-round group g (0..19) consumes message block M[g], kept in a ring of
// four registers; the schedule for later blocks is computed a few groups ahead
// (msg1 three groups, the xor two groups, msg2 one group before use), which is
// the interleaving the instructions were designed for.

#include "payload/sha1.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>

#include <utility>

#define ZV_SHA_TARGET __attribute__((target("sha,sse4.1")))

namespace zevrino::desktop::installer::sha1_internal {
namespace {

struct ShaNiState {
  __m128i abcd;
  __m128i e[2];
  __m128i msg[4];
};

template <int G>
ZV_SHA_TARGET __attribute__((always_inline)) inline void Group(ShaNiState& s) {
  constexpr int kCur = G % 2;
  constexpr int kOther = 1 - kCur;
  constexpr int kFunction = G / 5;
  if constexpr (G == 0) {
    s.e[0] = _mm_add_epi32(s.e[0], s.msg[0]);
  } else {
    s.e[kCur] = _mm_sha1nexte_epu32(s.e[kCur], s.msg[G % 4]);
  }
  s.e[kOther] = s.abcd;
  if constexpr (G >= 3 && G <= 18) {
    s.msg[(G + 1) % 4] = _mm_sha1msg2_epu32(s.msg[(G + 1) % 4], s.msg[G % 4]);
  }
  s.abcd = _mm_sha1rnds4_epu32(s.abcd, s.e[kCur], kFunction);
  if constexpr (G >= 1 && G <= 16) {
    s.msg[(G + 3) % 4] = _mm_sha1msg1_epu32(s.msg[(G + 3) % 4], s.msg[G % 4]);
  }
  if constexpr (G >= 2 && G <= 17) {
    s.msg[(G + 2) % 4] = _mm_xor_si128(s.msg[(G + 2) % 4], s.msg[G % 4]);
  }
}

template <int... G>
ZV_SHA_TARGET __attribute__((always_inline)) inline void AllGroups(
    ShaNiState& s, std::integer_sequence<int, G...>) {
  (Group<G>(s), ...);
}

}  // namespace

ZV_SHA_TARGET void CompressShaNi(std::uint32_t state[5], const std::uint8_t* data,
                                 std::size_t blocks) {
  const __m128i byte_swap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  ShaNiState s;
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks != 0; --blocks, data += 64) {
    s.abcd = abcd;
    s.e[0] = e0;
    for (int i = 0; i < 4; ++i) {
      s.msg[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
                                  byte_swap);
    }
    AllGroups(s, std::make_integer_sequence<int, 20>{});
    e0 = _mm_sha1nexte_epu32(s.e[0], e0);
    abcd = _mm_add_epi32(s.abcd, abcd);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

bool HasShaExtensions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    return false;
  }
  const bool ssse3 = (ecx & bit_SSSE3) != 0;
  const bool sse41 = (ecx & bit_SSE4_1) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
    return false;
  }
  const bool sha = (ebx & bit_SHA) != 0;
  return ssse3 && sse41 && sha;
}

}  // namespace zevrino::desktop::installer::sha1_internal

#else  // not x86

namespace zevrino::desktop::installer::sha1_internal {

void CompressShaNi(std::uint32_t state[5], const std::uint8_t* data, std::size_t blocks) {
  CompressPortable(state, data, blocks);
}

bool HasShaExtensions() {
  return false;
}

}  // namespace zevrino::desktop::installer::sha1_internal

#endif
