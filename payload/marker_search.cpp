#include "payload/marker_search.h"

#include <algorithm>
#include <cstddef>

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kMaxPattern = 255;

// The pattern read backwards: x(i) = pattern[m - 1 - i]. The tables below are
// the textbook Boyer-Moore tables over x, so the search that uses them is the
// ordinary forward algorithm run over the text read backwards.
class ReversedPattern {
 public:
  ReversedPattern(const std::uint8_t* pattern, std::ptrdiff_t m) : pattern_(pattern), m_(m) {}
  std::uint8_t operator[](std::ptrdiff_t i) const { return pattern_[m_ - 1 - i]; }

 private:
  const std::uint8_t* pattern_;
  std::ptrdiff_t m_;
};

// bad_char[c]: distance from the last occurrence of c in x[0, m-1) to the end
// of x, or m when c does not occur there.
void BuildBadCharacter(const ReversedPattern& x, std::ptrdiff_t m, std::ptrdiff_t bad_char[256]) {
  std::fill(bad_char, bad_char + 256, m);
  for (std::ptrdiff_t i = 0; i < m - 1; ++i) {
    bad_char[x[i]] = m - 1 - i;
  }
}

// suffix[i]: length of the longest substring of x ending at i that is also a
// suffix of x.
void BuildSuffixes(const ReversedPattern& x, std::ptrdiff_t m, std::ptrdiff_t suffix[]) {
  suffix[m - 1] = m;
  std::ptrdiff_t g = m - 1;
  std::ptrdiff_t f = m - 1;
  for (std::ptrdiff_t i = m - 2; i >= 0; --i) {
    if (i > g && suffix[i + m - 1 - f] < i - g) {
      suffix[i] = suffix[i + m - 1 - f];
    } else {
      g = std::min(g, i);
      f = i;
      while (g >= 0 && x[g] == x[g + m - 1 - f]) {
        --g;
      }
      suffix[i] = f - g;
    }
  }
}

// good_suffix[i]: shift after a mismatch at x[i] when x(i, m) matched.
void BuildGoodSuffix(const ReversedPattern& x, std::ptrdiff_t m, std::ptrdiff_t good_suffix[]) {
  std::ptrdiff_t suffix[kMaxPattern];
  BuildSuffixes(x, m, suffix);
  std::fill(good_suffix, good_suffix + m, m);
  std::ptrdiff_t j = 0;
  for (std::ptrdiff_t i = m - 1; i >= 0; --i) {
    if (suffix[i] == i + 1) {
      for (; j < m - 1 - i; ++j) {
        if (good_suffix[j] == m) {
          good_suffix[j] = m - 1 - i;
        }
      }
    }
  }
  for (std::ptrdiff_t i = 0; i <= m - 2; ++i) {
    good_suffix[m - 1 - suffix[i]] = m - 1 - i;
  }
}

}  // namespace

std::size_t FindLastOccurrence(const std::uint8_t* text, std::size_t text_size,
                               const std::uint8_t* pattern, std::size_t pattern_size) {
  if (pattern_size == 0 || pattern_size > kMaxPattern || pattern_size > text_size) {
    return kNotFound;
  }
  const auto m = static_cast<std::ptrdiff_t>(pattern_size);
  const auto n = static_cast<std::ptrdiff_t>(text_size);
  const ReversedPattern x(pattern, m);
  std::ptrdiff_t bad_char[256];
  std::ptrdiff_t good_suffix[kMaxPattern];
  BuildBadCharacter(x, m, bad_char);
  BuildGoodSuffix(x, m, good_suffix);

  // y(k) = text[n - 1 - k], the text read backwards. A match of x at y(j)
  // covers text[n - j - m, n - j), so the first match in y is the last one in
  // the text.
  const std::uint8_t* const last = text + n - 1;
  std::ptrdiff_t j = 0;
  while (j <= n - m) {
    const std::uint8_t* window = last - j;  // y(j + i) == window[-i]
    std::ptrdiff_t i = m - 1;
    while (i >= 0 && x[i] == window[-i]) {
      --i;
    }
    if (i < 0) {
      return static_cast<std::size_t>(n - j - m);
    }
    j += std::max(good_suffix[i], bad_char[window[-i]] - m + 1 + i);
  }
  return kNotFound;
}

}  // namespace zevrino::desktop::installer
