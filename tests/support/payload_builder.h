#pragma once
// Builds payloads for the tests with liblzma directly, independent of the
// packer: raw LZMA1 streams with or without end marker, optionally behind
// liblzma's own x86 filter, and the container around them.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zevrino::desktop::installer::testing {

using Bytes = std::vector<std::uint8_t>;

struct LzmaSettings {
  std::uint32_t lc = 3;
  std::uint32_t lp = 0;
  std::uint32_t pb = 2;
  std::uint32_t dictionary = 1u << 20;
  std::uint32_t preset = 1;
  bool x86 = false;        // liblzma's x86 filter in front of LZMA1
  bool end_marker = true;  // false: LZMA1EXT without end marker
};

// The 5 property bytes followed by the raw stream.
Bytes Compress(const Bytes& data, const LzmaSettings& settings);

// liblzma's own decoding of a Compress() result with the chain [x86?, LZMA1];
// only valid for streams with an end marker.
Bytes LiblzmaDecode(const Bytes& properties_and_stream, std::size_t expected_size, bool x86);

// U and F as varints, then `rest` (properties and stream, or the stored body).
Bytes MakeBody(std::uint32_t decoded_size, std::uint32_t filter, const Bytes& rest);

// header size, flags, (header_size - 4) filler bytes, SHA-1 of body, body.
// For header sizes below 4 the digest starts at offset header_size.
Bytes MakePayload(std::uint16_t header_size, std::uint16_t flags, const Bytes& body);

// image, payload, marker, 32-bit payload length, trailer.
Bytes MakeFile(const Bytes& image, const Bytes& payload, const Bytes& trailer);

// An installer file as the stub reads its own: an executable image followed
// by a payload, its marker and its length, then trailing bytes as a
// signature would leave them.
struct PayloadImage {
  Bytes image = Bytes(512, 0x90);
  std::uint16_t header_size = 4;  // bytes of header written, at least 4
  // The header size stored in the payload; 0 stores header_size.
  std::uint16_t declared_header_size = 0;
  std::uint16_t flags = 0;
  Bytes body = {0, 0, 'h', 'e', 'l', 'l', 'o'};  // stored body
  bool corrupt_digest = false;
  Bytes trailer = Bytes(7, 0);
};
// The digest is correct unless corrupt_digest.
Bytes BuildInstallerFile(const PayloadImage& layout);

// A minimal PE32+ image: DOS header, PE signature, COFF header, optional
// header with 16 data directories, and one section whose raw data fills the
// image from 0x200 to `image_size` (at least 0x200 + 1).
Bytes MakePeImage(std::size_t image_size);

// Appends zero padding to a multiple of 8 and `table` as the certificate
// table, and points the image's certificate directory entry at it, as a
// signing tool does.
Bytes AppendCertificateTable(Bytes file, const Bytes& table);

// Offset of the certificate directory entry (address, then size) in
// MakePeImage's header.
constexpr std::size_t kPeCertificateEntryOffset = 0x40 + 4 + 20 + 112 + 4 * 8;

// The 12 marker bytes, taken from the product (never spelled out in tests, so
// the test program's own image holds no marker either).
Bytes Marker();

Bytes RandomBytes(std::size_t size, std::uint32_t seed);
// Bytes full of E8/E9 opcodes and 00/FF operand bytes, the worst case for the
// x86 filter's state handling.
Bytes BranchHeavyBytes(std::size_t size, std::uint32_t seed);
// Mildly compressible text-like data.
Bytes TextBytes(std::size_t size, std::uint32_t seed);

}  // namespace zevrino::desktop::installer::testing
