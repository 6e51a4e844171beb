#include "payload/payload_container.h"

#include <cstring>
#include <mutex>

#include "base/result_code.h"
#include "payload/mapped_read_guard.h"
#include "payload/marker_search.h"
#include "payload/pe_certificate_table.h"
#include "payload/sha1.h"
#include "text/little_endian.h"

namespace zevrino::desktop::installer {
namespace {

// The first byte is stored as 00 and becomes AC on first use: a program image
// that carries no payload must not contain the marker anywhere, its own data
// included, or it would find itself.
std::uint8_t g_payload_marker[kPayloadMarkerSize] = {0x00, 0xAB, 0xAD, 0xB6, 0xB8, 0xBA,
                                                     0xAA, 0xAC, 0xBB, 0xE7, 0xD0, 0x17};
std::once_flag g_payload_marker_once;

constexpr std::size_t kLengthFieldSize = 4;
constexpr std::size_t kFixedHeaderSize = 4;  // header size and flags

bool Fail(ResultCode code, ErrorCode& error) {
  error = ErrorCode::Installer(code);
  return false;
}

}  // namespace

const std::uint8_t* PayloadMarker() {
  std::call_once(g_payload_marker_once, [] { g_payload_marker[0] = 0xAC; });
  return g_payload_marker;
}

namespace {

bool OpenPayloadInView(PayloadReader* reader, std::uint16_t* flags, ErrorCode& error) {
  const std::uint8_t* const file = reader->begin();
  // Only the signed bytes are searched: a marker inside the certificate
  // table, which the signature does not cover, is someone else's.
  const SignedExtent extent =
      FindSignedExtent(file, static_cast<std::size_t>(reader->end() - file));
  if (extent.status == SignedExtentStatus::kInvalid) {
    return Fail(kPayloadNotFound, error);
  }
  const std::size_t file_size = extent.searchable_size;

  const std::size_t marker =
      FindLastOccurrence(file, file_size, PayloadMarker(), kPayloadMarkerSize);
  if (marker == kNotFound) {
    return Fail(kPayloadNotFound, error);
  }
  const std::size_t after_marker = marker + kPayloadMarkerSize;
  if (file_size - after_marker < kLengthFieldSize) {
    return Fail(kPayloadNotFound, error);
  }
  const std::uint32_t length = text::LoadLittleEndian32(file + after_marker);
  if (length > marker) {
    return Fail(kPayloadNotFound, error);
  }

  const std::uint8_t* const payload = file + marker - length;
  reader->Reseat(payload, file + marker);
  std::uint8_t fixed_header[kFixedHeaderSize];
  if (!reader->ReadBytes(fixed_header, sizeof(fixed_header))) {
    return Fail(kPayloadHeaderUnreadable, error);
  }
  const std::uint16_t header_size = text::LoadLittleEndian16(fixed_header);
  if (header_size > length) {
    return Fail(kPayloadHeaderUnreadable, error);
  }
  *flags = text::LoadLittleEndian16(fixed_header + 2);
  // A header size below 4 is taken as it stands: the digest is then read
  // from offset H, over the fixed fields, while the flags above still come
  // from bytes 2 and 3.
  reader->Reseat(payload, file + marker);
  reader->Skip(header_size);
  return VerifyPayloadDigest(reader, error);
}

}  // namespace

bool OpenPayload(PayloadReader* reader, std::uint16_t* flags, ErrorCode& error) {
  // The search and the digest read the whole mapped file, whose storage may
  // go away meanwhile: that ends the opening as an unreadable payload.
  bool opened = false;
  if (!GuardMappedRead(reader->begin(), reader->end(),
                       [&] { opened = OpenPayloadInView(reader, flags, error); })) {
    return Fail(kPayloadHeaderUnreadable, error);
  }
  return opened;
}

bool VerifyPayloadDigest(PayloadReader* reader, ErrorCode& error) {
  std::uint8_t stored[kSha1DigestSize];
  if (!reader->ReadBytes(stored, sizeof(stored))) {
    return Fail(kPayloadHeaderUnreadable, error);
  }
  std::uint8_t computed[kSha1DigestSize];
  Sha1Digest(reader->position(), reader->Remaining(), computed);
  if (std::memcmp(stored, computed, sizeof(stored)) != 0) {
    return Fail(kPayloadDigestMismatch, error);
  }
  error.clear();
  return true;
}

}  // namespace zevrino::desktop::installer
