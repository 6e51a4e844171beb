#pragma once
// Decoding of the payload body.
//
//   field       encoding                 meaning
//   U           varint                   decoded size; 0: body stored as is
//   F           varint                   filter after decoding: 0 none, 1 x86
//   properties  5 bytes (only if U != 0) d = (pb*5 + lp)*9 + lc, then the
//                                        dictionary size, uint32 little-endian
//   data        to the end of the view   raw LZMA1 stream (end marker optional)
//                                        if U != 0, else the stored body
//
// Error codes (installer category): 1 U or F unreadable; 3 bad properties,
// corrupt data, or the stream ending (by input or end marker) before U bytes
// were produced; 11 no memory for the decoded body; 30 F neither 0 nor 1.

#include <cstdint>
#include <vector>

#include "installer/error_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// Appends the decoded body to *buffer. Reads from reader's position up to its
// end without changing the caller's reader, so that a retried step decodes the
// same body again. On failure *buffer is restored to its size on entry.
bool DecodePayloadBody(const PayloadReader& reader, std::vector<std::uint8_t>* buffer,
                       ErrorCode* error);

}  // namespace zevrino::desktop::installer
