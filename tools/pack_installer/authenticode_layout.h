#pragma once
// Where an Authenticode signature lies in a PE file and which bytes its image
// digest covers, read from the PE headers (payload/pe_certificate_table.h)
// and the first entry of the certificate table:
//
//   offset  size          field (little-endian)
//   0       4             dwLength: bytes of the entry, these 8 included
//   4       2             wRevision: 0x0200
//   6       2             wCertificateType: 0x0002, PKCS#7 SignedData
//   8       dwLength - 8  the SignedData, DER
//
// The image digest is taken over the file from its start to the certificate
// table, leaving out the optional header's CheckSum (4 bytes) and the
// certificate directory entry (8 bytes), whose values signing changes. A
// signing tool pads the file to a multiple of 8 before the table; the
// padding is digested like the rest. Platform-free; every offset and length
// is checked against the file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

struct ByteRange {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
};

struct AuthenticodeLayout {
  enum class Status {
    kUnsigned,   // not a PE, or a PE without certificate table
    kSigned,     // a certificate table closes the file
    kAppended,   // a certificate table after the sections, then more bytes
    kMalformed,  // headers or certificate table unusable; see `problem`
  };
  Status status = Status::kUnsigned;
  std::string problem;                        // kMalformed: why, in a few words
  std::vector<ByteRange> digested;            // kSigned, kAppended: in file order
  std::uint64_t table_offset = 0;             // kSigned, kAppended: where the signed bytes end
  std::uint64_t appended_size = 0;            // kAppended: bytes after the table
  const std::uint8_t* signed_data = nullptr;  // kSigned, kAppended: the SignedData
  std::size_t signed_data_size = 0;
};

AuthenticodeLayout ReadAuthenticodeLayout(const std::uint8_t* file, std::size_t size);

}  // namespace zevrino::desktop::packer
