#include "payload/marker_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace zevrino::desktop::installer {
namespace {

std::size_t Find(const std::string& text, const std::string& pattern) {
  return FindLastOccurrence(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                            reinterpret_cast<const std::uint8_t*>(pattern.data()), pattern.size());
}

std::size_t NaiveLast(const std::vector<std::uint8_t>& text,
                      const std::vector<std::uint8_t>& pattern) {
  if (pattern.empty() || pattern.size() > text.size()) {
    return kNotFound;
  }
  for (std::size_t i = text.size() - pattern.size() + 1; i-- > 0;) {
    if (std::equal(pattern.begin(), pattern.end(), text.begin() + i)) {
      return i;
    }
  }
  return kNotFound;
}

TEST(FindLastOccurrence, FindsTheLastOfOverlappingAndPartialMatches) {
  struct Case {
    std::string text;
    std::string pattern;
    std::size_t expected;
  };
  const Case cases[] = {
      {"abc", "abc", 0},
      {"abcxxxxxx", "abc", 0},     // at the very start
      {"xxxxxxabc", "abc", 6},     // at the very end
      {"abcxabcxabc-", "abc", 8},  // last of several
      {"aaaaaaa", "aaa", 4},       // overlapping occurrences
      {"abababab", "abab", 4},
      {"abaabaab", "abaab", 3},
      {"xabcabcabdx", "abcabd", 4},  // a suffix that repeats inside
      {"abcabdabcab", "abcabd", 0},  // partial match after the real one
      {"bcabcabcab", "cabcab", 4},
      {"ab", "abc", kNotFound},  // longer than the text
      {"", "a", kNotFound},
      {"abc", "", kNotFound},
      {"xyzxyz", "abc", kNotFound},
      {"abdabc", "abd", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Find(c.text, c.pattern), c.expected) << c.text << " / " << c.pattern;
  }
}

// Small alphabets produce many partial matches, which exercise the
// good-suffix table far more than random bytes would.
TEST(FindLastOccurrence, AgreesWithNaiveReverseSearch) {
  std::mt19937 random(1234);
  for (int round = 0; round < 4000; ++round) {
    const unsigned alphabet = 1 + random() % (round % 3 == 0 ? 256 : 3);
    const std::size_t m = 1 + random() % 14;
    const std::size_t n = random() % 200;
    std::vector<std::uint8_t> pattern(m);
    std::vector<std::uint8_t> text(n);
    for (auto& b : pattern) {
      b = static_cast<std::uint8_t>(random() % alphabet);
    }
    for (auto& b : text) {
      b = static_cast<std::uint8_t>(random() % alphabet);
    }
    if (n >= m && random() % 2 == 0) {
      std::copy(pattern.begin(), pattern.end(), text.begin() + random() % (n - m + 1));
    }
    ASSERT_EQ(FindLastOccurrence(text.data(), n, pattern.data(), m), NaiveLast(text, pattern))
        << "round " << round;
  }
}

TEST(FindLastOccurrence, ReadsOnlyInsideTheText) {
  // The text sits in a vector of exactly its size, so AddressSanitizer
  // reports any read before the first or after the last byte.
  for (std::size_t n = 0; n < 40; ++n) {
    std::vector<std::uint8_t> text(n, 0xAB);
    const std::uint8_t pattern[] = {0xAB, 0xAC, 0xAB, 0xAB};
    EXPECT_EQ(FindLastOccurrence(text.data(), n, pattern, sizeof(pattern)), kNotFound);
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
