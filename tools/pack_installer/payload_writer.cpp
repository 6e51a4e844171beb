#include "tools/pack_installer/payload_writer.h"

#include <limits>

#include "payload/marker_search.h"
#include "payload/payload_container.h"
#include "payload/pe_certificate_table.h"
#include "payload/sha1.h"
#include "tools/pack_installer/file_io.h"

namespace zevrino::desktop::packer {

namespace {

void AppendLe16(std::uint16_t value, std::vector<std::uint8_t>* out) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}

void AppendLe32(std::uint32_t value, std::vector<std::uint8_t>* out) {
  for (int shift = 0; shift < 32; shift += 8) {
    out->push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

}  // namespace

bool FramePayload(const std::uint8_t* body, std::size_t body_size, const PayloadOptions& options,
                  PayloadFrame* frame, std::string* error) {
  if (options.header_size < kMinHeaderSize) {
    *error = "header size " + std::to_string(options.header_size) + " is below 4";
    return false;
  }
  const std::uint64_t payload_size =
      std::uint64_t{options.header_size} + kDigestSize + std::uint64_t{body_size};
  if (payload_size > std::numeric_limits<std::uint32_t>::max()) {
    *error = "payload too large: " + std::to_string(payload_size) + " bytes (at most 4294967295)";
    return false;
  }

  frame->head.clear();
  AppendLe16(options.header_size, &frame->head);
  AppendLe16(options.flags, &frame->head);
  frame->head.resize(options.header_size, 0);
  std::uint8_t digest[installer::kSha1DigestSize];
  installer::Sha1Digest(body, body_size, digest);
  frame->head.insert(frame->head.end(), digest, digest + sizeof digest);

  const std::uint8_t* marker = installer::PayloadMarker();
  frame->tail.assign(marker, marker + installer::kPayloadMarkerSize);
  AppendLe32(static_cast<std::uint32_t>(payload_size), &frame->tail);
  return true;
}

bool CheckStub(const std::vector<std::uint8_t>& stub, std::string* error) {
  if (stub.size() < 2 || stub[0] != 'M' || stub[1] != 'Z') {
    *error = "is not a Windows executable (no MZ header)";
    return false;
  }
  if (installer::FindLastOccurrence(stub.data(), stub.size(), installer::PayloadMarker(),
                                    installer::kPayloadMarkerSize) != installer::kNotFound) {
    *error = "already carries a payload";
    return false;
  }
  const installer::SignedExtent extent = installer::FindSignedExtent(stub.data(), stub.size());
  if (extent.certificate_table_offset != 0 || extent.certificate_table_size != 0) {
    *error = "is signed; pack the unsigned stub, then sign the packed installer";
    return false;
  }
  return true;
}

bool WriteInstaller(const std::string& output_path, const std::vector<std::uint8_t>& stub,
                    const PayloadFrame& frame, const std::uint8_t* body, std::size_t body_size,
                    std::string* error) {
  AtomicOutputFile output;
  return output.Open(output_path, error) && output.Write(stub.data(), stub.size(), error) &&
         output.Write(frame.head.data(), frame.head.size(), error) &&
         output.Write(body, body_size, error) &&
         output.Write(frame.tail.data(), frame.tail.size(), error) && output.Commit(error);
}

}  // namespace zevrino::desktop::packer
