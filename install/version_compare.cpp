#include "install/version_compare.h"

#include <cstdint>
#include <cstring>
#include <limits>

namespace zevrino::desktop::installer {
namespace {

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

// Reads the run of digits at *text and leaves *text on the first byte after
// it. Values beyond 64 bits saturate instead of wrapping.
std::uint64_t ReadNumber(const unsigned char** text) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  while (IsDigit(**text)) {
    const unsigned digit = **text - '0';
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    ++*text;
  }
  return value;
}

}  // namespace

int NaturalCompare(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  for (;;) {
    if (IsDigit(*x) && IsDigit(*y)) {
      const std::uint64_t m = ReadNumber(&x);
      const std::uint64_t n = ReadNumber(&y);
      if (m != n) {
        // The sign is what matters; the difference itself may not fit an int.
        return m < n ? -1 : 1;
      }
      continue;
    }
    if (*x != *y) {
      return static_cast<int>(*x) - static_cast<int>(*y);
    }
    if (*x == '\0') {
      return 0;
    }
    ++x;
    ++y;
  }
}

bool IsVersionNotNewer(const char* own, const char* installed) {
  if (std::strcmp(own, installed) == 0) {
    return true;
  }
  const char* dash = std::strchr(own, '-');
  if (dash != nullptr) {
    const std::size_t prefix = static_cast<std::size_t>(dash - own) + 1;
    if (std::strncmp(own, installed, prefix) != 0) {
      return false;
    }
    own += prefix;
    installed += prefix;
  } else if (std::strchr(installed, '-') != nullptr) {
    return false;
  }
  return NaturalCompare(own, installed) <= 0;
}

}  // namespace zevrino::desktop::installer
