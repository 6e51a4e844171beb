#pragma once
// Builds archives and stored payload bodies byte by byte, including the
// malformed ones the packer refuses to write.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "payload/archive_writer.h"
#include "payload/payload_reader.h"
#include "tests/support/payload_builder.h"

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

// An archive holding `entries` in this order, whatever their names.
inline Bytes ArchiveOf(const std::vector<std::pair<std::string, Bytes>>& entries) {
  Bytes archive = ArchiveHeader();
  for (const auto& [name, content] : entries) {
    AppendArchiveEntry(name, content.data(), content.size(), &archive);
  }
  return archive;
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

// A compressed payload body as shipped (x86 filter, LZMA1 without end
// marker) holding `archive`.
inline std::vector<std::uint8_t> CompressedBody(const std::vector<std::uint8_t>& archive) {
  LzmaSettings settings;
  settings.x86 = true;
  settings.end_marker = false;
  settings.preset = 0;
  return MakeBody(static_cast<std::uint32_t>(archive.size()), 1, Compress(archive, settings));
}

using NamedFiles = std::vector<std::pair<std::string, std::string>>;  // archive name, bytes

// Machine-code-like files whose ends fall on every offset from 6 bytes
// before to 6 bytes after the decoder's 256 KiB output slices (one boundary
// each), each followed by a 10-byte file that straddles or follows the
// boundary. Where a slice ends inside the x86 filter's look-ahead, a file
// staged from bytes not yet converted would differ.
inline NamedFiles FilesAroundSliceBoundaries(std::vector<std::uint8_t>* archive) {
  constexpr std::size_t kSlice = 256 * 1024;
  NamedFiles files;
  *archive = ArchiveHeader();
  std::uint32_t seed = 100;
  for (int delta = -6; delta <= 6; ++delta) {
    const std::size_t boundary = kSlice * (files.size() / 2 + 1);
    const std::string name = "bin/f" + std::to_string(delta + 6) + ".dll";
    // The entry header is 1 + name + 3 bytes (content length below 2^21).
    const std::size_t header = 1 + name.size() + 3;
    const std::size_t size = boundary + delta - archive->size() - header;
    const Bytes content = BranchHeavyBytes(size, seed++);
    files.emplace_back(name, std::string(content.begin(), content.end()));
    files.emplace_back("s" + std::to_string(delta + 6), std::string(10, '\xE8'));
    AddEntry(files[files.size() - 2].first, files[files.size() - 2].second, archive);
    if (archive->size() != boundary + delta) {
      throw std::logic_error("FilesAroundSliceBoundaries: " + name + " ends elsewhere");
    }
    AddEntry(files.back().first, files.back().second, archive);
  }
  return files;
}

inline PayloadReader ReaderOver(const std::vector<std::uint8_t>& bytes) {
  return PayloadReader(bytes.data(), bytes.data() + bytes.size());
}

}  // namespace zevrino::desktop::installer::testing
