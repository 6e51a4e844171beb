#include "tests/unit/installer_stub/payload_image.h"

#include "payload/payload_container.h"
#include "payload/sha1.h"

namespace zevrino::desktop::installer::testing {

std::vector<std::uint8_t> BuildInstallerFile(const PayloadImage& layout) {
  const std::uint16_t declared =
      layout.declared_header_size != 0 ? layout.declared_header_size : layout.header_size;
  std::vector<std::uint8_t> payload = {
      static_cast<std::uint8_t>(declared), static_cast<std::uint8_t>(declared >> 8),
      static_cast<std::uint8_t>(layout.flags), static_cast<std::uint8_t>(layout.flags >> 8)};
  payload.resize(layout.header_size < 4 ? 4 : layout.header_size, 0);
  std::uint8_t digest[kSha1DigestSize];
  Sha1Digest(layout.body.data(), layout.body.size(), digest);
  if (layout.corrupt_digest) {
    digest[7] ^= 0x01;
  }
  payload.insert(payload.end(), digest, digest + kSha1DigestSize);
  payload.insert(payload.end(), layout.body.begin(), layout.body.end());

  std::vector<std::uint8_t> file = layout.image;
  file.insert(file.end(), payload.begin(), payload.end());
  // The marker comes from the payload module at run time: a literal copy here
  // would put the marker into this test program's own image.
  const std::uint8_t* marker = PayloadMarker();
  file.insert(file.end(), marker, marker + kPayloadMarkerSize);
  const auto length = static_cast<std::uint32_t>(payload.size());
  for (int shift = 0; shift < 32; shift += 8) {
    file.push_back(static_cast<std::uint8_t>(length >> shift));
  }
  file.insert(file.end(), layout.trailer.begin(), layout.trailer.end());
  return file;
}

}  // namespace zevrino::desktop::installer::testing
