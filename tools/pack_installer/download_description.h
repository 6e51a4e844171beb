#pragma once
// The body of a web-install build: where the full installer is downloaded
// from. Little-endian:
//
//   count     int32                 number of entries
//   entries   count times:
//     L       uint32                length including the terminating zero
//     bytes   L                     zero-terminated UTF-8 string
//
// The entries fill the body exactly. The installer downloads from entry 2
// when there are two or more, else from entry 1; the packer writes the
// addresses it is given, in their order.

#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

// An address the web installer can download from: http:// or https://
// (any case), something after the scheme, no control characters. "[ARCH]"
// may appear; the installer replaces it with its machine's architecture.
bool IsDownloadAddress(const std::string& url);

// True for an https:// address (any case).
bool IsHttpsAddress(const std::string& url);

// The description with one entry per address. The caller checks them.
std::vector<std::uint8_t> BuildDownloadDescription(const std::vector<std::string>& urls);

// Every entry of a description, for list and verify. False when `body` is
// not a description: fewer than 9 bytes, a count below 1, an entry that runs
// past the body or does not end in a zero, or bytes after the last entry.
bool ReadDownloadAddresses(const std::uint8_t* body, std::size_t size,
                           std::vector<std::string>* addresses);

// The index of the entry the installer downloads from.
inline std::size_t UsedAddressIndex(std::size_t count) {
  return count >= 2 ? 1 : 0;
}

}  // namespace zevrino::desktop::packer
