#include "webinstall/download_description.h"

#include <string>
#include <utility>

#include "payload/payload_decoder.h"
#include "text/little_endian.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kMinimumBodySize = 9;  // count, one length, one zero byte

}  // namespace

ResultCode ReadDownloadEntries(const std::uint8_t* body, std::size_t size,
                               std::vector<std::string>* entries) {
  if (size < kMinimumBodySize) {
    return kPayloadNotFound;
  }
  const auto count = static_cast<std::int32_t>(text::LoadLittleEndian32(body));
  if (count <= 0) {
    return kPayloadNotFound;
  }
  std::size_t position = 4;
  std::vector<std::string> found;
  for (std::int32_t entry = 1; entry <= count; ++entry) {
    if (size - position < 4) {
      return kPayloadNotFound;
    }
    const std::uint32_t length = text::LoadLittleEndian32(body + position);
    position += 4;
    // Compared against what remains, never added to the position first, so
    // that a huge length cannot wrap past the end.
    if (length == 0 || length > size - position || body[position + length - 1] != 0) {
      return kPayloadNotFound;
    }
    // The entry is a C string: a zero inside it ends it there.
    const auto* text = reinterpret_cast<const char*>(body + position);
    found.emplace_back(text, std::char_traits<char>::length(text));
    position += length;
  }
  if (position != size) {
    return kPayloadNotFound;
  }
  *entries = std::move(found);
  return kSuccess;
}

ResultCode ReadDownloadDescription(const std::uint8_t* body, std::size_t size,
                                   std::string* address) {
  std::vector<std::string> entries;
  const ResultCode read = ReadDownloadEntries(body, size, &entries);
  if (read != kSuccess) {
    return read;
  }
  *address = std::move(entries[entries.size() >= 2 ? 1 : 0]);
  return kSuccess;
}

ResultCode DecodeDownloadDescription(const PayloadReader& reader, std::vector<std::uint8_t>* body) {
  PayloadBodyHeader header;
  ErrorCode error;
  if (!ReadPayloadBodyHeader(reader, &header, error)) {
    return ToResultCode(error, kPayloadHeaderUnreadable);
  }
  if (header.OutputSize() > kMaxDownloadDescriptionSize) {
    return kPayloadHeaderUnreadable;
  }
  if (!DecodePayloadBody(reader, body, error)) {
    return ToResultCode(error, kPayloadDecodeFailed);
  }
  return kSuccess;
}

}  // namespace zevrino::desktop::installer
