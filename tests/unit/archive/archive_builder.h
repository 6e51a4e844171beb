#pragma once
// Builds archives and stored payload bodies byte by byte, including the
// malformed ones the packer refuses to write.

#include <cstdint>
#include <string>
#include <vector>

#include "payload/archive_writer.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer::testing {

inline void PutVarint(std::uint32_t value, std::vector<std::uint8_t>* out) {
  std::uint8_t bytes[kMaxVarintSize];
  out->insert(out->end(), bytes, bytes + EncodeVarint(value, bytes));
}

// Version and a 20-byte digest (zeros: the reader does not check it).
inline std::vector<std::uint8_t> ArchiveHeader(std::uint32_t version = 513) {
  std::vector<std::uint8_t> archive;
  PutVarint(version, &archive);
  archive.resize(archive.size() + 20, 0);
  return archive;
}

inline void AddEntry(const std::string& name, const std::string& content,
                     std::vector<std::uint8_t>* archive) {
  AppendArchiveEntry(name, reinterpret_cast<const std::uint8_t*>(content.data()), content.size(),
                     archive);
}

// A stored payload body (U = 0, F = 0) holding `archive`, as DecodePayloadBody
// reads it.
inline std::vector<std::uint8_t> StoredBody(const std::vector<std::uint8_t>& archive) {
  std::vector<std::uint8_t> body;
  PutVarint(0, &body);
  PutVarint(0, &body);
  body.insert(body.end(), archive.begin(), archive.end());
  return body;
}

inline PayloadReader ReaderOver(const std::vector<std::uint8_t>& bytes) {
  return PayloadReader(bytes.data(), bytes.data() + bytes.size());
}

}  // namespace zevrino::desktop::installer::testing
