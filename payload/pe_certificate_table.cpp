#include "payload/pe_certificate_table.h"

#include <algorithm>

#include "text/little_endian.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr std::uint16_t kPe32PlusMagic = 0x20B;
constexpr std::uint32_t kCertificateEntry = 4;
constexpr std::uint64_t kChecksumOffset = 64;  // in the optional header, PE32 and PE32+

// A bounds-checked view: every read names its offset and fails past the end.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }
  bool U16(std::uint64_t offset, std::uint16_t* value) const {
    if (!Has(offset, 2)) {
      return false;
    }
    *value = text::LoadLittleEndian16(data_ + offset);
    return true;
  }
  bool U32(std::uint64_t offset, std::uint32_t* value) const {
    if (!Has(offset, 4)) {
      return false;
    }
    *value = text::LoadLittleEndian32(data_ + offset);
    return true;
  }
  bool Equals(std::uint64_t offset, const char* text, std::size_t length) const {
    return Has(offset, length) && std::equal(text, text + length, data_ + offset);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

SignedExtent Invalid(SignedExtent extent) {
  extent.status = SignedExtentStatus::kInvalid;
  extent.searchable_size = 0;
  return extent;
}

}  // namespace

SignedExtent FindSignedExtent(const std::uint8_t* file, std::size_t size) {
  const Bytes bytes(file, size);
  SignedExtent extent;
  extent.searchable_size = size;
  std::uint32_t pe = 0;
  if (!bytes.Equals(0, "MZ", 2) || !bytes.U32(kLfanewOffset, &pe) ||
      !bytes.Equals(pe, "PE\0\0", 4)) {
    return extent;  // kNotPe: the whole file is searched
  }

  const std::uint64_t coff = std::uint64_t{pe} + 4;
  std::uint16_t section_count = 0;
  std::uint16_t optional_size = 0;
  std::uint16_t magic = 0;
  if (!bytes.U16(coff + 2, &section_count) || !bytes.U16(coff + 16, &optional_size) ||
      !bytes.Has(coff + kCoffHeaderSize, optional_size) ||
      !bytes.U16(coff + kCoffHeaderSize, &magic)) {
    return Invalid(extent);
  }
  const std::uint64_t optional = coff + kCoffHeaderSize;
  std::uint64_t count_offset = 0;
  if (magic == kPe32Magic) {
    count_offset = 92;
  } else if (magic == kPe32PlusMagic) {
    count_offset = 108;
  } else {
    return Invalid(extent);
  }
  const std::uint64_t directories_offset = count_offset + 4;

  // Sections: their raw data ends where appended data (payload, signature)
  // may begin.
  const std::uint64_t sections = optional + optional_size;
  if (!bytes.Has(sections, std::uint64_t{section_count} * kSectionHeaderSize)) {
    return Invalid(extent);
  }
  for (std::uint64_t i = 0; i < section_count; ++i) {
    std::uint32_t raw_size = 0;
    std::uint32_t raw_offset = 0;
    bytes.U32(sections + i * kSectionHeaderSize + 16, &raw_size);
    bytes.U32(sections + i * kSectionHeaderSize + 20, &raw_offset);
    if (raw_size != 0) {
      extent.sections_end =
          std::max(extent.sections_end, std::uint64_t{raw_offset} + std::uint64_t{raw_size});
    }
  }

  // The certificate entry, when the optional header has room for it and
  // says it holds that many directories.
  std::uint32_t directory_count = 0;
  const std::uint64_t entry = directories_offset + std::uint64_t{kCertificateEntry} * 8;
  if (count_offset + 4 > optional_size) {
    return Invalid(extent);
  }
  bytes.U32(optional + count_offset, &directory_count);
  extent.checksum_offset = optional + kChecksumOffset;  // before count_offset, so inside
  if (directory_count <= kCertificateEntry || entry + 8 > optional_size) {
    extent.status = SignedExtentStatus::kUnsigned;
    return extent;
  }
  extent.certificate_entry_offset = optional + entry;
  std::uint32_t table_offset = 0;
  std::uint32_t table_size = 0;
  bytes.U32(optional + entry, &table_offset);
  bytes.U32(optional + entry + 4, &table_size);
  if (table_offset == 0 && table_size == 0) {
    extent.status = SignedExtentStatus::kUnsigned;
    return extent;
  }
  extent.certificate_table_offset = table_offset;
  extent.certificate_table_size = table_size;
  if (table_size == 0 || table_offset < extent.sections_end ||
      std::uint64_t{table_offset} + table_size != size) {
    return Invalid(extent);
  }
  extent.status = SignedExtentStatus::kSigned;
  extent.searchable_size = table_offset;
  return extent;
}

}  // namespace zevrino::desktop::installer
