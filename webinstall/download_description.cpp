#include "webinstall/download_description.h"

#include <string>
#include <utility>

#include "payload/payload_decoder.h"
#include "text/little_endian.h"

namespace zevrino::desktop::installer {
namespace {

constexpr std::size_t kMinimumBodySize = 9;  // count, one length, one zero byte

}  // namespace

ResultCode ReadDownloadDescription(const std::uint8_t* body, std::size_t size,
                                   std::string* address) {
  if (size < kMinimumBodySize) {
    return kPayloadNotFound;
  }
  const auto count = static_cast<std::int32_t>(text::LoadLittleEndian32(body));
  if (count <= 0) {
    return kPayloadNotFound;
  }
  const std::int32_t wanted = count >= 2 ? 2 : 1;
  std::size_t position = 4;
  std::string found;
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
    if (entry == wanted) {
      // The entry is a C string: a zero inside it ends the address there.
      const auto* text = reinterpret_cast<const char*>(body + position);
      found.assign(text, std::char_traits<char>::length(text));
    }
    position += length;
  }
  if (position != size) {
    return kPayloadNotFound;
  }
  *address = std::move(found);
  return kSuccess;
}

ResultCode DecodeDownloadDescription(const PayloadReader& reader, std::vector<std::uint8_t>* body) {
  PayloadBodyHeader header;
  ErrorCode error;
  if (!ReadPayloadBodyHeader(reader, &header, &error)) {
    return static_cast<ResultCode>(error.value());
  }
  if (header.OutputSize() > kMaxDownloadDescriptionSize) {
    return kPayloadHeaderUnreadable;
  }
  if (!DecodePayloadBody(reader, body, &error)) {
    return static_cast<ResultCode>(error.value());
  }
  return kSuccess;
}

}  // namespace zevrino::desktop::installer
