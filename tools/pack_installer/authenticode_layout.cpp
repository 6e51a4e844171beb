#include "tools/pack_installer/authenticode_layout.h"

#include "payload/pe_certificate_table.h"
#include "text/little_endian.h"

namespace zevrino::desktop::packer {

namespace {

constexpr std::uint64_t kEntryHeaderSize = 8;
constexpr std::uint16_t kRevision2 = 0x0200;
constexpr std::uint16_t kPkcsSignedData = 0x0002;

// Keeps where the table lies and what follows it, which list shows even
// when the table's contents are unusable.
AuthenticodeLayout Malformed(AuthenticodeLayout layout, const std::string& problem) {
  layout.status = AuthenticodeLayout::Status::kMalformed;
  layout.problem = problem;
  layout.digested.clear();
  layout.signed_data = nullptr;
  layout.signed_data_size = 0;
  return layout;
}

}  // namespace

AuthenticodeLayout ReadAuthenticodeLayout(const std::uint8_t* file, std::size_t size) {
  using installer::SignedExtentStatus;
  const installer::SignedExtent extent = installer::FindSignedExtent(file, size);
  const std::uint64_t table = extent.certificate_table_offset;
  const std::uint64_t table_size = extent.certificate_table_size;
  AuthenticodeLayout layout;
  if (extent.status == SignedExtentStatus::kNotPe ||
      extent.status == SignedExtentStatus::kUnsigned) {
    return layout;
  }
  if (extent.status == SignedExtentStatus::kInvalid) {
    // The one invalid shape that is a whole signature: bytes added after it.
    const bool appended = table_size != 0 && table >= extent.sections_end &&
                          table + table_size < size && extent.certificate_entry_offset != 0;
    if (!appended) {
      return Malformed(layout, table == 0 && table_size == 0
                                   ? "PE headers cut short or inconsistent"
                                   : "the certificate table does not lie between the end of the "
                                     "sections and the end of the file");
    }
    layout.status = AuthenticodeLayout::Status::kAppended;
    layout.appended_size = size - (table + table_size);
  } else {
    layout.status = AuthenticodeLayout::Status::kSigned;
  }
  layout.table_offset = table;
  if (table_size < kEntryHeaderSize) {
    return Malformed(layout, "the certificate table is too short for an entry");
  }
  const std::uint8_t* entry = file + table;
  const std::uint32_t length = text::LoadLittleEndian32(entry);
  if (length < kEntryHeaderSize || length > table_size) {
    return Malformed(layout, "the certificate table's first entry claims " +
                                 std::to_string(length) + " bytes of " +
                                 std::to_string(table_size));
  }
  if (text::LoadLittleEndian16(entry + 4) != kRevision2 ||
      text::LoadLittleEndian16(entry + 6) != kPkcsSignedData) {
    return Malformed(layout, "the certificate table's first entry is not a PKCS#7 signature");
  }
  layout.signed_data = entry + kEntryHeaderSize;
  layout.signed_data_size = length - kEntryHeaderSize;

  // CheckSum lies before the certificate entry in both header kinds; a
  // table placed among the headers is checked here, since the sections may
  // be empty.
  const std::uint64_t checksum = extent.checksum_offset;
  const std::uint64_t entry_field = extent.certificate_entry_offset;
  if (checksum + 4 > entry_field || entry_field + 8 > table) {
    return Malformed(layout, "the certificate table overlaps the PE headers");
  }
  layout.digested = {{0, checksum},
                     {checksum + 4, entry_field - (checksum + 4)},
                     {entry_field + 8, table - (entry_field + 8)}};
  return layout;
}

}  // namespace zevrino::desktop::packer
