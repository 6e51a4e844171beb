// CopyBytes copies exactly [source, source + size) for every length of its
// short paths and around their edges, from and to any alignment, and writes
// nothing beside the destination; overlapping ranges come out as memmove's.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "payload/byte_copy.h"

namespace zevrino::desktop::installer {
namespace {

TEST(ByteCopyTest, EveryLengthAndAlignment) {
  std::vector<std::uint8_t> source(700);
  for (std::size_t i = 0; i < source.size(); ++i) {
    source[i] = static_cast<std::uint8_t>(i * 131 + 7);
  }
  for (std::size_t size = 0; size <= 600; size += (size < 80 ? 1 : 37)) {
    for (std::size_t from = 0; from < 9; ++from) {
      for (std::size_t to = 0; to < 9; to += 3) {
        std::vector<std::uint8_t> target(size + 32, 0xEE);
        EXPECT_EQ(CopyBytes(target.data() + 8 + to, source.data() + from, size),
                  target.data() + 8 + to);
        for (std::size_t i = 0; i < target.size(); ++i) {
          const bool inside = i >= 8 + to && i < 8 + to + size;
          ASSERT_EQ(target[i], inside ? source[from + i - 8 - to] : 0xEE)
              << "size " << size << " from " << from << " to " << to << " at " << i;
        }
      }
    }
  }
}

TEST(ByteCopyTest, OverlappingRangesAsMemmove) {
  for (std::size_t size : {3u, 7u, 12u, 16u, 17u, 100u, 4000u}) {
    for (std::ptrdiff_t shift : {-9, -1, 1, 5, 64}) {
      std::vector<std::uint8_t> buffer(size + 80);
      for (std::size_t i = 0; i < buffer.size(); ++i) {
        buffer[i] = static_cast<std::uint8_t>(i * 17 + 3);
      }
      std::vector<std::uint8_t> expected = buffer;
      std::uint8_t* const source = buffer.data() + 10;
      std::memmove(expected.data() + 10 + shift, expected.data() + 10, size);
      CopyBytes(source + shift, source, size);
      EXPECT_EQ(buffer, expected) << "size " << size << " shift " << shift;
    }
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
