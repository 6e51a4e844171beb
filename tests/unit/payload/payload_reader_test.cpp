#include "payload/payload_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zevrino::desktop::installer {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct VarintCase {
  Bytes encoded;
  bool ok;
  std::uint32_t value;
};

TEST(ReadVarint, DecodesOneToFiveBytesAndRejectsMalformed) {
  const VarintCase cases[] = {
      {{0x00}, true, 0},
      {{0x7F}, true, 127},
      {{0x80, 0x01}, true, 128},
      {{0xFF, 0x7F}, true, 16383},
      {{0x80, 0x80, 0x01}, true, 1u << 14},
      {{0xC6, 0xD9, 0xBE, 0x91, 0x01}, true, 305114310},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, true, 0xFFFFFFFF},
      // Only the low 4 bits of a fifth byte count; the rest fall off the top.
      {{0x80, 0x80, 0x80, 0x80, 0x7F}, true, 0xF0000000},
      {{0x81, 0x80, 0x80, 0x80, 0x70}, true, 1},
      // Non-minimal forms are accepted.
      {{0x85, 0x80, 0x00}, true, 5},
      // A fifth byte that announces a sixth.
      {{0x80, 0x80, 0x80, 0x80, 0x80, 0x00}, false, 0},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x8F, 0x01}, false, 0},
      // Truncated.
      {{}, false, 0},
      {{0x80}, false, 0},
      {{0xFF, 0xFF, 0xFF, 0xFF}, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.encoded));
    PayloadReader reader(c.encoded.data(), c.encoded.data() + c.encoded.size());
    std::uint32_t value = 0xDEADBEEF;
    ASSERT_EQ(reader.ReadVarint(&value), c.ok);
    if (c.ok) {
      EXPECT_EQ(value, c.value);
      EXPECT_EQ(reader.Remaining(), 0u) << "a complete varint consumes exactly its bytes";
    } else {
      EXPECT_EQ(value, 0xDEADBEEFu) << "failure must not write the output";
      EXPECT_EQ(reader.position(), reader.begin()) << "failure must not move the position";
    }
  }
}

TEST(ReadVarint, StopsAtItsLastByte) {
  const Bytes data = {0x80, 0x01, 0x05, 0x80};
  PayloadReader reader(data.data(), data.data() + data.size());
  std::uint32_t value = 0;
  ASSERT_TRUE(reader.ReadVarint(&value));
  EXPECT_EQ(value, 128u);
  ASSERT_TRUE(reader.ReadVarint(&value));
  EXPECT_EQ(value, 5u);
  EXPECT_FALSE(reader.ReadVarint(&value));
  EXPECT_EQ(reader.Remaining(), 1u);
}

TEST(EncodeVarint, RoundTripsWithMinimalLength) {
  const std::uint32_t values[] = {0,         1,          127,        128,       16383,
                                  16384,     2097151,    2097152,    268435455, 268435456,
                                  305114310, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (std::uint32_t v : values) {
    std::uint8_t encoded[kMaxVarintSize + 1] = {};
    const std::size_t n = EncodeVarint(v, encoded);
    std::size_t expected = 1;
    for (std::uint64_t limit = 128; v >= limit && expected < 5; limit <<= 7) {
      ++expected;
    }
    EXPECT_EQ(n, expected) << v;
    PayloadReader reader(encoded, encoded + n);
    std::uint32_t decoded = 0;
    ASSERT_TRUE(reader.ReadVarint(&decoded)) << v;
    EXPECT_EQ(decoded, v);
    EXPECT_EQ(reader.Remaining(), 0u);
  }
}

TEST(PayloadReader, NeverPassesEndAndFailsWithoutMoving) {
  const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
  PayloadReader reader(data.data(), data.data() + data.size());
  std::uint8_t out[16] = {};

  EXPECT_FALSE(reader.ReadBytes(out, 9));
  EXPECT_FALSE(reader.Skip(9));
  PayloadReader taken;
  EXPECT_FALSE(reader.Take(9, &taken));
  EXPECT_EQ(taken.begin(), nullptr) << "a failed Take leaves the out reader alone";
  EXPECT_EQ(reader.Remaining(), 8u);

  ASSERT_TRUE(reader.ReadBytes(out, 2));
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[1], 2);
  ASSERT_TRUE(reader.Take(3, &taken));
  EXPECT_EQ(taken.begin(), data.data() + 2);
  EXPECT_EQ(taken.position(), taken.begin());
  EXPECT_EQ(taken.end(), data.data() + 5);
  ASSERT_TRUE(taken.Skip(3));
  EXPECT_FALSE(taken.ReadBytes(out, 1)) << "the taken view ends where it was cut";

  EXPECT_EQ(reader.position(), data.data() + 5);
  EXPECT_FALSE(reader.ReadBytes(out, 4));
  ASSERT_TRUE(reader.ReadBytes(out, 3));
  EXPECT_EQ(out[2], 8);
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_TRUE(reader.ReadBytes(out, 0));
  EXPECT_TRUE(reader.Skip(0));
  EXPECT_FALSE(reader.Skip(1));
  EXPECT_EQ(reader.begin(), data.data()) << "begin never moves";

  reader.Reseat(data.data() + 4, data.data() + 6);
  EXPECT_EQ(reader.position(), data.data() + 4);
  EXPECT_EQ(reader.Remaining(), 2u);
}

TEST(PayloadReader, EmptyViewIsUsable) {
  PayloadReader reader;
  std::uint32_t value = 0;
  EXPECT_EQ(reader.Remaining(), 0u);
  EXPECT_FALSE(reader.ReadVarint(&value));
  EXPECT_TRUE(reader.Skip(0));
  EXPECT_FALSE(reader.Skip(1));
}

}  // namespace
}  // namespace zevrino::desktop::installer
