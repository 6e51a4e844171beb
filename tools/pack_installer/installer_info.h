#pragma once
// Reads back what the packer wrote, through the same payload code the
// installer uses: where the payload lies, its header, whether its digest
// holds, how its body is encoded and (for verification) whether it decodes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "base/result_code.h"
#include "payload/pe_certificate_table.h"

namespace zevrino::desktop::packer {

struct BodyInfo {
  bool readable = false;            // U and F could be read
  std::uint32_t declared_size = 0;  // U: 0 for a stored body
  std::uint32_t filter = 0;         // F
  bool has_properties = false;      // U != 0 and the 5 bytes are present
  std::uint32_t lc = 0, lp = 0, pb = 0;
  std::uint8_t properties_byte = 0;
  std::uint32_t dictionary_size = 0;
  std::uint64_t encoded_size = 0;  // bytes after U and F (properties included)
  // The size the body decodes to: U, or the stored byte count.
  std::uint64_t decoded_size() const { return declared_size != 0 ? declared_size : encoded_size; }
};

struct InstallerInfo {
  std::uint64_t file_size = 0;
  std::uint64_t payload_offset = 0;  // S: size of the image before the payload
  std::uint32_t payload_size = 0;    // L
  std::uint64_t payload_end = 0;     // S + L + 16: after the marker and the length
  // The signature that closes the file, if any. The payload is looked for only
  // before it; a misplaced table is `kInvalid` and no payload is found.
  installer::SignedExtentStatus signature = installer::SignedExtentStatus::kNotPe;
  std::uint64_t certificate_table_offset = 0;
  std::uint64_t certificate_table_size = 0;
  // Bytes after a certificate table that lies after the sections: something
  // appended to a signed file, which then has no valid signature.
  std::uint64_t appended_size = 0;
  std::uint16_t header_size = 0;  // H
  std::uint16_t flags = 0;
  bool digest_valid = false;
  BodyInfo body;
};

// Locates the payload and describes it. Returns false when there is nothing
// to describe: no payload found (error 4) or its header unreadable (error 1);
// the signature fields are filled all the same.
// A digest mismatch is not a failure here; it shows in info->digest_valid.
bool InspectInstaller(const std::uint8_t* file, std::size_t size, InstallerInfo* info,
                      installer::ErrorCode& error);

// Opens, checks and fully decodes the payload as the installer would.
// Returns 0 or the payload result code (1, 2, 3, 4, 11, 30); *info is filled
// as far as the checks got and *decoded_size is the number of bytes decoded.
installer::ResultCode VerifyInstaller(const std::uint8_t* file, std::size_t size,
                                      InstallerInfo* info, std::uint64_t* decoded_size);

// Short English description of a payload result code, for the tool's output.
const char* PayloadErrorText(installer::ResultCode code);

// Where the payload ends and whether a certificate table follows it, in one
// line without a line feed, e.g. "payload ends at 5120; certificate table at
// 5128, 1960 bytes, closing the file". It does not check the signature.
std::string DescribeSignature(const InstallerInfo& info);

}  // namespace zevrino::desktop::packer
