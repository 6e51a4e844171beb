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
// were produced; 11 no memory for the decoded body; 19 stopped on request;
// 30 F neither 0 nor 1. The body is read where it lies, in the mapped
// installer file: when that file's storage goes away meanwhile
// (mapped_read_guard.h), reading U or F gives 1 and the decoding gives 3.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/error_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// Appends the decoded body to *buffer. Reads from reader's position up to its
// end without changing the caller's reader, so that a retried step decodes the
// same body again. On failure *buffer is restored to its size on entry.
bool DecodePayloadBody(const PayloadReader& reader, std::vector<std::uint8_t>* buffer,
                       ErrorCode& error);

// The same decoding in two steps, for a caller that owns the output memory
// and uses the first bytes while the rest is still being decoded.

// U, F and the data after them (properties and stream, or the stored body).
struct PayloadBodyHeader {
  std::uint32_t decoded_size = 0;
  std::uint32_t filter = 0;
  PayloadReader data;

  // Bytes the body decodes to: U, or the stored body's length when U is 0.
  std::size_t OutputSize() const { return decoded_size != 0 ? decoded_size : data.Remaining(); }
};

// Reads U and F from the reader's position (the reader is not moved). Error 1
// when either is unreadable.
bool ReadPayloadBodyHeader(const PayloadReader& reader, PayloadBodyHeader* header,
                           ErrorCode& error);

// Told, on the decoding thread, that the first `final_bytes` bytes of the
// output hold their final content: decoded and, with the x86 filter,
// converted (only decoded with X86Conversion::kByCaller, below). The counts grow with each call; a
// successful decoding ends with the whole output. Bytes beyond the count (including those the
// filter holds back at a slice boundary until it sees what follows them) may still change.
using DecodeProgressFunction = std::function<void(std::size_t final_bytes)>;

// Where the x86 filter of a body is undone.
enum class X86Conversion {
  kWhileDecoding,  // by the decoder, slice by slice
  // By the caller, with a BcjX86StreamDecoder over the bytes reported, when
  // NeedsX86Conversion says so: the decoding thread then spends all its time
  // decoding. Progress counts decoded bytes, which are final only after that.
  kByCaller,
};

// Asked between slices of the output (every 256 KiB decoded, every 64 MiB
// of a stored body copied): true stops the decoding, which then fails with
// 19. Called on the decoding thread.
using DecodeStopFunction = std::function<bool()>;

// True for a compressed body whose bytes must go through the x86 filter
// after decoding (a stored body is used as it is, whatever F says).
bool NeedsX86Conversion(const PayloadBodyHeader& header);

// Decodes the body into output[0, header.OutputSize()), which the caller
// allocated; errors 3 and 11 as for DecodePayloadBody, 19 when `stop` asked
// for it. With an unknown filter (30) progress is never reported, since no
// byte of the output is usable. On failure the output holds partial bytes and
// stays the caller's to free, so that another thread still reading bytes
// reported final reads valid memory.
bool DecodePayloadBodyInto(const PayloadBodyHeader& header, std::uint8_t* output,
                           const DecodeProgressFunction& progress, ErrorCode& error,
                           X86Conversion conversion = X86Conversion::kWhileDecoding,
                           const DecodeStopFunction& stop = {});

}  // namespace zevrino::desktop::installer
