#pragma once
// Builds installer files for the tests: an executable image followed by a
// payload, its marker and its length, then trailing bytes as a signature
// would leave them.

#include <cstdint>
#include <vector>

namespace zevrino::desktop::installer::testing {

struct PayloadImage {
  std::vector<std::uint8_t> image = std::vector<std::uint8_t>(512, 0x90);
  std::uint16_t header_size = 4;  // bytes of header written, at least 4
  // The header size stored in the payload; 0 stores header_size.
  std::uint16_t declared_header_size = 0;
  std::uint16_t flags = 0;
  std::vector<std::uint8_t> body = {0, 0, 'h', 'e', 'l', 'l', 'o'};  // stored body
  bool corrupt_digest = false;
  std::vector<std::uint8_t> trailer = std::vector<std::uint8_t>(7, 0);
};

// The bytes of the whole file. The digest is correct unless corrupt_digest.
std::vector<std::uint8_t> BuildInstallerFile(const PayloadImage& layout);

}  // namespace zevrino::desktop::installer::testing
