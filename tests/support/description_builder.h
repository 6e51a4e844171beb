#pragma once
// Builds web-install download descriptions byte by byte, including the
// malformed ones the packer refuses to write: a 32-bit count, then each
// entry as a 32-bit length that counts its terminating zero, and the entry.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/little_endian.h"

namespace zevrino::desktop::installer::testing {

inline std::vector<std::uint8_t> DownloadDescription(std::int32_t count,
                                                     const std::vector<std::string>& entries) {
  std::vector<std::uint8_t> bytes;
  AppendLe32(&bytes, static_cast<std::uint32_t>(count));
  for (const std::string& entry : entries) {
    AppendLe32(&bytes, static_cast<std::uint32_t>(entry.size() + 1));
    bytes.insert(bytes.end(), entry.begin(), entry.end());
    bytes.push_back(0);
  }
  return bytes;
}

// A well-formed one: the count is the number of entries.
inline std::vector<std::uint8_t> DownloadDescription(const std::vector<std::string>& entries) {
  return DownloadDescription(static_cast<std::int32_t>(entries.size()), entries);
}

}  // namespace zevrino::desktop::installer::testing
