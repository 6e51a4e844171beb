#include "ui/utf8_text.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(Utf8TextTest, CutsOnlyAtCharacterBoundaries) {
  // "a" (1 byte), "é" (2), "日" (3), "😀" (4).
  const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80";
  const std::size_t expected_prefix[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 10};
  for (std::size_t max = 0; max <= 11; ++max) {
    EXPECT_EQ(Utf8PrefixLength(text, max), expected_prefix[max]) << max;
  }
  EXPECT_EQ(TruncateUtf8(text, 5), "a\xC3\xA9");
  EXPECT_EQ(TruncateUtf8("", 3), "");
}

TEST(Utf8TextTest, Utf16UnitLimitCountsSurrogatePairs) {
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80z";  // a é 😀 z: 1+1+2+1 units
  EXPECT_EQ(TruncateUtf8ToUtf16Units(text, 5), text);
  EXPECT_EQ(TruncateUtf8ToUtf16Units(text, 4), "a\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(TruncateUtf8ToUtf16Units(text, 3), "a\xC3\xA9");  // the pair does not split
  EXPECT_EQ(TruncateUtf8ToUtf16Units(text, 0), "");
  // A long Japanese title: 300 characters of 3 bytes fit 255 units, not 255 bytes.
  std::string long_title;
  for (int i = 0; i < 300; ++i) {
    long_title += "\xE6\x97\xA5";
  }
  EXPECT_EQ(TruncateUtf8ToUtf16Units(long_title, 255).size(), 255u * 3);
}

}  // namespace
}  // namespace zevrino::desktop::installer
