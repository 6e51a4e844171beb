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
// when there are two or more, else from entry 1; the packer writes one.

#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

// An address the web installer can download from: http:// or https://
// (any case), something after the scheme, no control characters. "[ARCH]"
// may appear; the installer replaces it with its machine's architecture.
bool IsDownloadAddress(const std::string& url);

// The description with the single entry `url`. The caller checks the address.
std::vector<std::uint8_t> BuildDownloadDescription(const std::string& url);

}  // namespace zevrino::desktop::packer
