#pragma once
// Where the signed part of a PE file ends. An Authenticode signature is a
// certificate table appended to the file and named by the security entry of
// the optional header's data directories; the signature's hash skips that
// table, so bytes inside it can be changed without breaking the signature.
// The payload search must therefore never look inside it.
//
// The headers read here (all little-endian; every offset and length is
// checked against the file before it is used):
//
//   offset           size  field
//   0                2     "MZ"
//   0x3C             4     e_lfanew: offset of the PE signature
//   e_lfanew         4     "PE\0\0"
//   +4               20    COFF header: +2 NumberOfSections (16 bits),
//                          +16 SizeOfOptionalHeader (16 bits)
//   +24              opt   optional header: +0 magic 0x10B (PE32) or 0x20B
//                          (PE32+); +64 CheckSum (32 bits, both kinds);
//                          NumberOfRvaAndSizes at +92 / +108, the
//                          data directories (8 bytes each: address, size)
//                          from +96 / +112; entry 4 is the certificate
//                          table, whose address is a file offset
//   +24+opt          40*n  section headers: +16 SizeOfRawData,
//                          +20 PointerToRawData
//
// A file is signed when the certificate entry is present and not all zero.

#include <cstddef>
#include <cstdint>

namespace zevrino::desktop::installer {

enum class SignedExtentStatus {
  kNotPe,     // no "MZ" or no "PE\0\0" where e_lfanew points: no signature possible
  kUnsigned,  // a PE without certificate table
  kSigned,    // a PE whose certificate table closes the file
  kInvalid,   // PE headers cut short or inconsistent, or a certificate table that
              // does not lie between the end of the sections and the end of the file
};

struct SignedExtent {
  SignedExtentStatus status = SignedExtentStatus::kNotPe;
  // Bytes from the start that a payload may occupy: the file size, or the
  // certificate table's offset when signed. 0 when invalid.
  std::size_t searchable_size = 0;
  std::uint64_t sections_end = 0;  // end of the last section's raw data (PE only)
  std::uint64_t certificate_table_offset = 0;
  std::uint64_t certificate_table_size = 0;
  // Where the optional header's CheckSum field and the certificate directory
  // entry lie, the fields an Authenticode digest leaves out. Both are inside
  // the file when nonzero; the entry's offset is 0 when the optional header
  // has no room for it (unsigned then).
  std::uint64_t checksum_offset = 0;
  std::uint64_t certificate_entry_offset = 0;
};

// Reads the PE headers of `file`. A signed file's certificate table must
// start at or after the end of every section's raw data and end exactly at
// the end of the file; anything else is kInvalid.
SignedExtent FindSignedExtent(const std::uint8_t* file, std::size_t size);

}  // namespace zevrino::desktop::installer
