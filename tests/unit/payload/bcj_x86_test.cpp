#include "payload/bcj_x86.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "payload/payload_decoder.h"
#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;

// liblzma's x86 filter as the reference: compressing through [x86, LZMA1]
// and decoding LZMA1 alone yields exactly what liblzma's x86 encoder made of
// the data, which our encoder must reproduce and our decoder must undo.
void CheckAgainstLiblzma(const Bytes& original) {
  testing::LzmaSettings settings;
  settings.x86 = true;
  settings.preset = 0;
  const Bytes compressed = testing::Compress(original, settings);
  const Bytes liblzma_encoded = testing::LiblzmaDecode(compressed, original.size(), false);
  ASSERT_EQ(liblzma_encoded.size(), original.size());

  Bytes ours_encoded = original;
  BcjX86Encode(ours_encoded.data(), ours_encoded.size());
  ASSERT_EQ(ours_encoded, liblzma_encoded) << "encoder differs at size " << original.size();

  Bytes ours_decoded = liblzma_encoded;
  BcjX86Decode(ours_decoded.data(), ours_decoded.size());
  ASSERT_EQ(ours_decoded, original) << "decoder differs at size " << original.size();

  ASSERT_EQ(testing::LiblzmaDecode(compressed, original.size(), true), original);
}

TEST(BcjX86, MatchesLiblzmaAtManySizes) {
  std::uint32_t seed = 1;
  for (std::size_t size : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 15, 16, 17, 31, 100, 4095, 65537}) {
    SCOPED_TRACE(size);
    CheckAgainstLiblzma(testing::BranchHeavyBytes(size, seed++));
    CheckAgainstLiblzma(testing::RandomBytes(size, seed++));
    CheckAgainstLiblzma(Bytes(size, 0xE8));
  }
}

TEST(BcjX86, MatchesLiblzmaOnBranchHeavyData) {
  for (std::uint32_t seed = 100; seed < 140; ++seed) {
    SCOPED_TRACE(seed);
    CheckAgainstLiblzma(testing::BranchHeavyBytes(1000 + seed * 37, seed));
  }
}

// The decoder converts slice by slice while LZMA produces output, and the
// body decoding thread's owner converts whatever has arrived: at every step
// the bytes called final must already be those of one pass over the whole
// buffer, no more than the lookahead may stay undecided, and the end makes
// the rest final.
TEST(BcjX86, StreamDecoderEqualsWholeBufferAtEveryStep) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    const Bytes original = testing::BranchHeavyBytes(random() % 3000, random());
    Bytes whole = original;
    BcjX86Decode(whole.data(), whole.size());

    Bytes sliced = original;
    BcjX86StreamDecoder converter;
    std::size_t available = 0;
    while (available < sliced.size()) {
      available = std::min(sliced.size(), available + random() % 40);
      const bool complete = available == sliced.size() && random() % 2 == 0;
      const std::size_t final_bytes = converter.Advance(sliced.data(), available, complete);
      ASSERT_EQ(final_bytes, converter.final_bytes());
      ASSERT_LE(final_bytes, available);
      ASSERT_GE(final_bytes + BcjX86StreamDecoder::kLookahead, available) << "round " << round;
      ASSERT_TRUE(std::equal(sliced.begin(), sliced.begin() + final_bytes, whole.begin()))
          << "round " << round << ", " << final_bytes << " final of " << available;
    }
    converter.Advance(sliced.data(), sliced.size(), true);
    EXPECT_EQ(converter.final_bytes(), sliced.size());
    ASSERT_EQ(sliced, whole) << "round " << round;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
