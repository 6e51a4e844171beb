#include "payload/sha1.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

std::string Hex(const std::uint8_t digest[kSha1DigestSize]) {
  std::string hex;
  char two[3];
  for (std::size_t i = 0; i < kSha1DigestSize; ++i) {
    std::snprintf(two, sizeof(two), "%02x", digest[i]);
    hex += two;
  }
  return hex;
}

std::string DigestOf(const std::string& text) {
  std::uint8_t digest[kSha1DigestSize];
  Sha1Digest(text.data(), text.size(), digest);
  return Hex(digest);
}

TEST(Sha1, MatchesFips180Vectors) {
  EXPECT_EQ(DigestOf(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
  EXPECT_EQ(DigestOf("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(DigestOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
  EXPECT_EQ(DigestOf("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklm"
                     "nopqklmnopqrlmnopqrsmnopqrstnopqrstu"),
            "a49b2446a02c645bf419f995b67091253a04a259");
  EXPECT_EQ(DigestOf(std::string(1000000, 'a')), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

// Lengths on either side of the point where the 64-bit length no longer fits
// into the last block and the padding takes a block of its own.
TEST(Sha1, PadsAtBlockBoundaries) {
  const std::pair<std::size_t, const char*> cases[] = {
      {55, "c1c8bbdc22796e28c0e15163d20899b65621d65a"},
      {56, "c2db330f6083854c99d4b5bfb6e8f29f201be699"},
      {63, "03f09f5b158a7a8cdad920bddc29b81c18a551f5"},
      {64, "0098ba824b5c16427bd7a1122a5a442a25ec644d"},
      {119, "ee971065aaa017e0632a8ca6c77bb3bf8b1dfc56"},
      {120, "f34c1488385346a55709ba056ddd08280dd4c6d6"},
  };
  for (const auto& [length, digest] : cases) {
    EXPECT_EQ(DigestOf(std::string(length, 'a')), digest) << length;
  }
}

// Pieces that start and end anywhere in a block, including the padding
// boundary at 55/56 bytes, must give the digest of the whole.
TEST(Sha1, PiecewiseUpdateEqualsOneShot) {
  const auto data = testing::RandomBytes(300, 7);
  for (std::size_t size : {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 300}) {
    std::uint8_t whole[kSha1DigestSize];
    Sha1Digest(data.data(), size, whole);
    for (std::size_t split = 0; split <= size; split += 13) {
      Sha1 sha1;
      sha1.Update(data.data(), split);
      sha1.Update(data.data() + split, 0);
      sha1.Update(data.data() + split, size - split);
      std::uint8_t pieces[kSha1DigestSize];
      sha1.Final(pieces);
      ASSERT_EQ(Hex(pieces), Hex(whole)) << size << " split at " << split;
    }
  }
}

TEST(Sha1, ShaExtensionsAgreeWithPortable) {
  if (!sha1_internal::HasShaExtensions()) {
    GTEST_SKIP() << "this processor has no SHA extensions";
  }
  const auto data = testing::RandomBytes(64 * 71, 99);
  for (std::size_t blocks = 1; blocks <= 70; blocks += 3) {
    std::uint32_t portable[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::uint32_t hardware[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    // Start from a state other than the initial one, too.
    for (int round = 0; round < 2; ++round) {
      sha1_internal::CompressPortable(portable, data.data() + round * 64, blocks);
      sha1_internal::CompressShaNi(hardware, data.data() + round * 64, blocks);
      for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(portable[i], hardware[i]) << blocks << " blocks, word " << i;
      }
    }
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
