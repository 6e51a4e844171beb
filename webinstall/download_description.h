#pragma once
// The download description: the decoded payload body of a web-install build,
// naming the full installer's address. Little-endian:
//
//   count     int32                 number of entries, at least 1
//   entries   count times:
//     L       uint32                length including the terminating zero
//     bytes   L                     zero-terminated UTF-8 string
//
// The entries fill the body exactly, so a valid body has at least 9 bytes.
// The address is entry 2 when there are two or more entries, else entry 1;
// the other entries are checked for shape but not read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// On success *address receives the address (without its terminator) and the
// result is kSuccess. A body shorter than 9 bytes, a count of 0 or less, an
// entry running past the body or not ending in a zero byte, or bytes left
// after the last entry give kPayloadNotFound (4) with *address untouched.
ResultCode ReadDownloadDescription(const std::uint8_t* body, std::size_t size,
                                   std::string* address);

// Every entry, each up to its first zero, under the same checks: kSuccess,
// or kPayloadNotFound with *entries untouched.
ResultCode ReadDownloadEntries(const std::uint8_t* body, std::size_t size,
                               std::vector<std::string>* entries);

// The most bytes a download description may decode to: a few addresses
// take a few hundred.
constexpr std::size_t kMaxDownloadDescriptionSize = 64 * 1024;

// Decodes the payload body at the reader's position (the reader is not
// moved) into *body. A body that says it decodes to more than
// kMaxDownloadDescriptionSize bytes gives 1 before anything is allocated;
// otherwise the codes of DecodePayloadBody.
ResultCode DecodeDownloadDescription(const PayloadReader& reader, std::vector<std::uint8_t>* body);

}  // namespace zevrino::desktop::installer
