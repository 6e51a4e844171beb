#include "tools/pack_installer/installer_info.h"

#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "payload/payload_reader.h"
#include "text/little_endian.h"
#include "tools/pack_installer/authenticode_layout.h"
#include "tools/pack_installer/payload_writer.h"

namespace zevrino::desktop::packer {

namespace {

using installer::ErrorCode;
using installer::kPayloadMarkerSize;
using installer::PayloadReader;

// Reads U, F and the properties from a view of the body.
BodyInfo DescribeBody(PayloadReader body) {
  BodyInfo info;
  if (!body.ReadVarint(&info.declared_size) || !body.ReadVarint(&info.filter)) {
    return info;
  }
  info.readable = true;
  info.encoded_size = body.Remaining();
  std::uint8_t properties[5];
  if (info.declared_size != 0 && body.ReadBytes(properties, sizeof properties)) {
    info.has_properties = true;
    info.properties_byte = properties[0];
    info.lc = properties[0] % 9;
    info.lp = (properties[0] / 9) % 5;
    info.pb = properties[0] / 45;
    info.dictionary_size = text::LoadLittleEndian32(properties + 1);
  }
  return info;
}

// Body view of an opened payload, worked out from the payload start so that
// it is right even when OpenPayload stopped at the digest check.
bool BodyView(const PayloadReader& payload, std::uint16_t header_size, PayloadReader* body) {
  PayloadReader reader(payload.begin(), payload.end());
  if (!reader.Skip(header_size) || !reader.Skip(kDigestSize)) {
    return false;
  }
  *body = reader;
  return true;
}

}  // namespace

bool InspectInstaller(const std::uint8_t* file, std::size_t size, InstallerInfo* info,
                      ErrorCode& error) {
  *info = InstallerInfo();
  info->file_size = size;
  const installer::SignedExtent extent = installer::FindSignedExtent(file, size);
  info->signature = extent.status;
  info->certificate_table_offset = extent.certificate_table_offset;
  info->certificate_table_size = extent.certificate_table_size;
  info->appended_size = ReadAuthenticodeLayout(file, size).appended_size;
  PayloadReader reader(file, file + size);
  std::uint16_t flags = 0;
  error.clear();
  const bool opened = installer::OpenPayload(&reader, &flags, error);
  if (!opened && error != ErrorCode::Installer(installer::kPayloadDigestMismatch)) {
    return false;
  }
  info->flags = flags;
  info->payload_offset = static_cast<std::uint64_t>(reader.begin() - file);
  info->payload_size = static_cast<std::uint32_t>(reader.end() - reader.begin());
  info->payload_end = static_cast<std::uint64_t>(reader.end() - file) + kPayloadMarkerSize + 4;
  info->header_size = text::LoadLittleEndian16(reader.begin());
  info->digest_valid = opened;
  PayloadReader body;
  if (BodyView(reader, info->header_size, &body)) {
    info->body = DescribeBody(body);
  }
  return true;
}

installer::ResultCode VerifyInstaller(const std::uint8_t* file, std::size_t size,
                                      InstallerInfo* info, std::uint64_t* decoded_size) {
  *decoded_size = 0;
  ErrorCode error;
  if (!InspectInstaller(file, size, info, error)) {
    return installer::ToResultCode(error, installer::kPayloadNotFound);
  }
  if (!info->digest_valid) {
    return installer::kPayloadDigestMismatch;
  }
  PayloadReader payload(file + info->payload_offset,
                        file + info->payload_offset + info->payload_size);
  PayloadReader body;
  if (!BodyView(payload, info->header_size, &body)) {
    return installer::kPayloadHeaderUnreadable;  // not reached: the digest was read
  }
  std::vector<std::uint8_t> decoded;
  if (!installer::DecodePayloadBody(body, &decoded, error)) {
    return installer::ToResultCode(error, installer::kPayloadDecodeFailed);
  }
  *decoded_size = decoded.size();
  return installer::kSuccess;
}

const char* PayloadErrorText(installer::ResultCode code) {
  switch (code) {
    case installer::kSuccess:
      return "payload valid";
    case installer::kPayloadHeaderUnreadable:
      return "payload header unreadable";
    case installer::kPayloadDigestMismatch:
      return "payload digest mismatch";
    case installer::kPayloadDecodeFailed:
      return "payload body does not decode";
    case installer::kPayloadNotFound:
      return "no payload found";
    case installer::kOutOfMemory:
      return "no memory for the decoded body";
    case installer::kUnknownFilter:
      return "unknown branch filter in the payload body";
    default:
      return "payload error";
  }
}

std::string DescribeSignature(const InstallerInfo& info) {
  using installer::SignedExtentStatus;
  std::string text;
  if (info.payload_end != 0) {
    text = "payload ends at " + std::to_string(info.payload_end) + "; ";
  }
  const std::string table = "certificate table at " +
                            std::to_string(info.certificate_table_offset) + ", " +
                            std::to_string(info.certificate_table_size) + " bytes";
  switch (info.signature) {
    case SignedExtentStatus::kSigned:
      return text + table + ", closing the file";
    case SignedExtentStatus::kInvalid:
      if (info.appended_size != 0) {
        return text + table + ", then " + std::to_string(info.appended_size) +
               " bytes appended after it: Windows sees no valid signature";
      }
      return text + "certificate table refused: " +
             (info.certificate_table_offset == 0 && info.certificate_table_size == 0
                  ? std::string("PE headers cut short or inconsistent")
                  : "at " + std::to_string(info.certificate_table_offset) + ", " +
                        std::to_string(info.certificate_table_size) +
                        " bytes, not between the end of the sections and the end of the file");
    case SignedExtentStatus::kUnsigned:
    case SignedExtentStatus::kNotPe:
      break;
  }
  return text + "not signed";
}

}  // namespace zevrino::desktop::packer
