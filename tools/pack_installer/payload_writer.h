#pragma once
// Frames an encoded body as the payload that payload/payload_container.h
// locates, and appends it to a stub executable:
//
//   stub | H-byte header | SHA-1 of body | body | marker | L (uint32 LE)
//
// with the header holding H (uint16 LE), the flags (uint16 LE) and H - 4 zero
// bytes, and L = H + 20 + body size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

constexpr std::uint16_t kMinHeaderSize = 4;
constexpr std::size_t kDigestSize = 20;

struct PayloadOptions {
  std::uint16_t flags = 0;  // installer::PayloadFlag bits
  // Counts the whole header. Values below 4 cannot be written: the digest
  // would overlap the size and flag fields.
  std::uint16_t header_size = kMinHeaderSize;
};

// The bytes before and after the body.
struct PayloadFrame {
  std::vector<std::uint8_t> head;  // header and digest
  std::vector<std::uint8_t> tail;  // marker and payload length
};

// Fails when the header size is below 4 or the payload would exceed the
// 32-bit length field.
bool FramePayload(const std::uint8_t* body, std::size_t body_size, const PayloadOptions& options,
                  PayloadFrame* frame, std::string* error);

// Accepts an executable image that does not yet carry a payload: it must
// start with "MZ", hold no payload marker (the reader takes the last
// marker, so a second payload would silently shadow the first one's image)
// and carry no certificate table (a payload appended after a signature lies
// outside the signed bytes, where the installer never looks for it: sign
// the packed installer instead).
bool CheckStub(const std::vector<std::uint8_t>& stub, std::string* error);

// Writes stub, frame and body to output_path through a temporary file; on
// failure nothing is left under output_path and an existing file there is
// unchanged.
bool WriteInstaller(const std::string& output_path, const std::vector<std::uint8_t>& stub,
                    const PayloadFrame& frame, const std::uint8_t* body, std::size_t body_size,
                    std::string* error);

}  // namespace zevrino::desktop::packer
