// Version comparison decides whether the replace question is asked.
#include <gtest/gtest.h>

#include "install/version_compare.h"

namespace zevrino::desktop::installer {
namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

TEST(NaturalCompare, NumbersByValueOtherBytesUnsigned) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"1.10", "1.9", 1},
      {"1.2.3", "1.2.3", 0},
      {"1.2", "1.2.0", -1},  // the end of "1.2" meets the dot
      {"", "", 0},
      {"", "1", -1},
      {"007", "7", 0},  // leading zeros do not count
      {"1.2.36.955.da8da9372", "1.2.36.955.da8da9372", 0},
      {"1.2.36.955.da8da9372", "1.2.36.956.aaaa", -1},
      {"a2b", "a10b", -1},
      {"\xe9", "e", 1},  // bytes above 0x7F are unsigned
      // Runs longer than 64 bits must neither wrap nor overflow the result.
      {"99999999999999999999999", "1", 1},
      {"1", "99999999999999999999999", -1},
      {"4294967296", "1", 1},  // m - n would not fit an int
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(NaturalCompare(c.a, c.b)), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(Sign(NaturalCompare(c.b, c.a)), -c.sign) << c.b << " vs " << c.a;
  }
}

TEST(IsVersionNotNewer, PlainAndDashedVersions) {
  struct Case {
    const char* own;
    const char* installed;
    bool not_newer;
  };
  const Case cases[] = {
      {"1.2.36.955.da8da9372", "1.2.36.955.da8da9372", true},
      {"1.2.5", "1.2.10", true},
      {"1.2.10", "1.2.5", false},
      {"1.2", "1.2.0", true},
      {"1.0-7", "1.0-12", true},
      {"1.0-7", "1.1-1", false},  // different text before the dash
      {"1.0-12", "1.0-7", false},
      {"1.0", "1.0-1", false},  // a plain version against a dashed one
      {"1.0-1", "1.0", false},
      {"1.0-", "1.0-", true},
      {"1.0-b-2", "1.0-b-10", true},  // only the first dash splits
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsVersionNotNewer(c.own, c.installed), c.not_newer)
        << "own " << c.own << ", installed " << c.installed;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
