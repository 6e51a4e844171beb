#pragma once
// The payload appended to the installer executable, located from the end of
// the file so that padding and the Authenticode signature may follow it.
//
// File:
//   offset      size  content
//   0           S     executable image
//   S           L     payload
//   S+L         12    marker AC AB AD B6 B8 BA AA AC BB E7 D0 17
//   S+L+12      4     L, uint32 little-endian
//   S+L+16      any   ignored (padding, certificate table)
//
// A signed file ends with its certificate table, which the signature's hash
// skips: the search covers only the bytes before it (see
// pe_certificate_table.h), and a certificate table that does not lie between
// the end of the sections and the end of the file is refused (4).
//
// Payload (offsets from its start, little-endian):
//   0           2     header size H, counting the whole header (4 in practice)
//   2           2     flags (PayloadFlag bits; other bits ignored)
//   4           H-4   further header bytes, skipped
//   H           20    SHA-1 of the bytes from H+20 to the end of the payload
//   H+20        rest  body (see payload_decoder.h)
//
// The marker is the last occurrence of the 12 bytes in the file. The program
// keeps its own copy with the first byte 00 and completes it on first use, so
// that an executable without payload holds no marker anywhere.
//
// Error codes (installer category): 1 payload shorter than 4 bytes, H beyond
// the payload or digest missing; 2 digest mismatch; 4 no marker before the
// certificate table, fewer than 4 bytes between it and the table, L larger
// than the marker's position, or a misplaced certificate table.

#include <cstddef>
#include <cstdint>

#include "base/error_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

enum PayloadFlag : std::uint16_t {
  kWebInstaller = 1,     // the body is a download description, not an archive
  kNoReplacePrompt = 2,  // never ask before replacing an existing installation
};

constexpr std::size_t kPayloadMarkerSize = 12;

// The 12 marker bytes, completed on first use. Thread-safe.
const std::uint8_t* PayloadMarker();

// `reader` views the whole mapped file. On success it is re-seated with begin
// at the payload start, end at the marker's first byte and position at the
// first byte of the body; `error` is cleared. *flags is written as soon as the
// header has been read, even when the digest check then fails. On failure the
// reader may already be re-seated and must not be used further. A file whose
// storage goes away while it is read (a fault inside the view, see
// mapped_read_guard.h) gives 1.
bool OpenPayload(PayloadReader* reader, std::uint16_t* flags, ErrorCode& error);

// Reads the 20-byte digest at the reader's position and compares it with the
// SHA-1 of the bytes after it up to end. On success the position is just after
// the digest. Errors: 1 digest missing, 2 mismatch.
bool VerifyPayloadDigest(PayloadReader* reader, ErrorCode& error);

}  // namespace zevrino::desktop::installer
