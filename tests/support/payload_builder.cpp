#include "tests/support/payload_builder.h"

#include <algorithm>

#include <lzma.h>

#include <random>
#include <stdexcept>

#include "payload/payload_container.h"
#include "payload/payload_reader.h"
#include "payload/sha1.h"
#include "tests/support/little_endian.h"

namespace zevrino::desktop::installer::testing {

Bytes Compress(const Bytes& data, const LzmaSettings& settings) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, settings.preset)) {
    throw std::runtime_error("lzma_lzma_preset");
  }
  options.lc = settings.lc;
  options.lp = settings.lp;
  options.pb = settings.pb;
  options.dict_size = settings.dictionary;
  options.ext_flags = 0;
  options.ext_size_low = static_cast<std::uint32_t>(data.size());
  options.ext_size_high = 0;
  const lzma_vli lzma_id = settings.end_marker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT;

  lzma_filter filters[3];
  std::size_t n = 0;
  if (settings.x86) {
    filters[n++] = {LZMA_FILTER_X86, nullptr};
  }
  filters[n++] = {lzma_id, &options};
  filters[n] = {LZMA_VLI_UNKNOWN, nullptr};

  Bytes out(5);
  lzma_filter plain_lzma1 = {LZMA_FILTER_LZMA1, &options};
  if (lzma_properties_encode(&plain_lzma1, out.data()) != LZMA_OK) {
    throw std::runtime_error("lzma_properties_encode");
  }
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_raw_encoder(&stream, filters) != LZMA_OK) {
    throw std::runtime_error("lzma_raw_encoder");
  }
  out.resize(5 + data.size() + data.size() / 2 + 1024);
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = out.data() + 5;
  stream.avail_out = out.size() - 5;
  const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  out.resize(5 + stream.total_out);
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) {
    throw std::runtime_error("lzma_code");
  }
  return out;
}

Bytes LiblzmaDecode(const Bytes& properties_and_stream, std::size_t expected_size, bool x86) {
  lzma_filter lzma1 = {LZMA_FILTER_LZMA1, nullptr};
  if (lzma_properties_decode(&lzma1, nullptr, properties_and_stream.data(), 5) != LZMA_OK) {
    throw std::runtime_error("lzma_properties_decode");
  }
  lzma_filter filters[3];
  std::size_t n = 0;
  if (x86) {
    filters[n++] = {LZMA_FILTER_X86, nullptr};
  }
  filters[n++] = lzma1;
  filters[n] = {LZMA_VLI_UNKNOWN, nullptr};
  lzma_stream stream = LZMA_STREAM_INIT;
  const lzma_ret init = lzma_raw_decoder(&stream, filters);
  free(lzma1.options);
  if (init != LZMA_OK) {
    throw std::runtime_error("lzma_raw_decoder");
  }
  Bytes out(expected_size + 1);  // one spare byte shows any excess output
  stream.next_in = properties_and_stream.data() + 5;
  stream.avail_in = properties_and_stream.size() - 5;
  stream.next_out = out.data();
  stream.avail_out = out.size();
  const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  out.resize(stream.total_out);
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) {
    throw std::runtime_error("liblzma decoding did not reach the end marker");
  }
  return out;
}

Bytes MakeBody(std::uint32_t decoded_size, std::uint32_t filter, const Bytes& rest) {
  Bytes body;
  std::uint8_t varint[kMaxVarintSize];
  body.insert(body.end(), varint, varint + EncodeVarint(decoded_size, varint));
  body.insert(body.end(), varint, varint + EncodeVarint(filter, varint));
  body.insert(body.end(), rest.begin(), rest.end());
  return body;
}

Bytes MakePayload(std::uint16_t header_size, std::uint16_t flags, const Bytes& body) {
  Bytes payload(4);
  PutLe16(&payload, 0, header_size);
  PutLe16(&payload, 2, flags);
  payload.resize(header_size < 4 ? 4 : header_size, 0x5A);
  payload.resize(header_size);  // a short header overlaps the fixed fields
  std::uint8_t digest[kSha1DigestSize];
  Sha1Digest(body.data(), body.size(), digest);
  payload.insert(payload.end(), digest, digest + sizeof(digest));
  payload.insert(payload.end(), body.begin(), body.end());
  return payload;
}

Bytes MakeFile(const Bytes& image, const Bytes& payload, const Bytes& trailer) {
  Bytes file = image;
  file.insert(file.end(), payload.begin(), payload.end());
  const Bytes marker = Marker();
  file.insert(file.end(), marker.begin(), marker.end());
  AppendLe32(&file, static_cast<std::uint32_t>(payload.size()));
  file.insert(file.end(), trailer.begin(), trailer.end());
  return file;
}

Bytes BuildInstallerFile(const PayloadImage& layout) {
  const std::uint16_t written = layout.header_size < 4 ? 4 : layout.header_size;
  Bytes payload = MakePayload(written, layout.flags, layout.body);
  PutLe16(&payload, 0,
          layout.declared_header_size != 0 ? layout.declared_header_size : layout.header_size);
  if (layout.corrupt_digest) {
    payload[written + 7] ^= 0x01;
  }
  return MakeFile(layout.image, payload, layout.trailer);
}

namespace {

constexpr std::size_t kPeOffset = 0x40;
constexpr std::size_t kOptionalSize = 112 + 16 * 8;
constexpr std::size_t kRawDataStart = 0x200;

}  // namespace

Bytes MakePeImage(std::size_t image_size) {
  Bytes image = RandomBytes(image_size, 77);
  std::fill(image.begin(), image.begin() + kRawDataStart, 0);
  image[0] = 'M';
  image[1] = 'Z';
  PutLe32(&image, 0x3C, kPeOffset);
  const Bytes signature = {'P', 'E', 0, 0};
  std::copy(signature.begin(), signature.end(), image.begin() + kPeOffset);
  const std::size_t coff = kPeOffset + 4;
  PutLe16(&image, coff, 0x8664);  // machine
  PutLe16(&image, coff + 2, 1);   // sections
  PutLe16(&image, coff + 16, kOptionalSize);
  const std::size_t optional = coff + 20;
  PutLe16(&image, optional, 0x20B);     // PE32+
  PutLe32(&image, optional + 108, 16);  // data directories
  const std::size_t section = optional + kOptionalSize;
  PutLe32(&image, section + 16, static_cast<std::uint32_t>(image_size - kRawDataStart));
  PutLe32(&image, section + 20, kRawDataStart);
  return image;
}

Bytes AppendCertificateTable(Bytes file, const Bytes& table) {
  file.resize((file.size() + 7) / 8 * 8, 0);
  PutLe32(&file, kPeCertificateEntryOffset, static_cast<std::uint32_t>(file.size()));
  PutLe32(&file, kPeCertificateEntryOffset + 4, static_cast<std::uint32_t>(table.size()));
  file.insert(file.end(), table.begin(), table.end());
  return file;
}

Bytes Marker() {
  return Bytes(PayloadMarker(), PayloadMarker() + kPayloadMarkerSize);
}

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) {
    b = static_cast<std::uint8_t>(random());
  }
  return bytes;
}

Bytes BranchHeavyBytes(std::size_t size, std::uint32_t seed) {
  static constexpr std::uint8_t kChoices[] = {0xE8, 0xE9, 0xE8, 0x00, 0xFF, 0x00, 0xFF, 0x0F};
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (auto& b : bytes) {
    const std::uint32_t r = random();
    b = (r & 3) == 0 ? static_cast<std::uint8_t>(r >> 8) : kChoices[(r >> 2) & 7];
  }
  return bytes;
}

Bytes TextBytes(std::size_t size, std::uint32_t seed) {
  static constexpr const char* kWords[] = {
      "install ", "payload ", "zevrino ", "archive ", "\xE8\x10\x20\x30\x40 ", "file\n", "digest "};
  std::mt19937 random(seed);
  Bytes bytes;
  while (bytes.size() < size) {
    const char* word = kWords[random() % 7];
    for (const char* p = word; *p != '\0' && bytes.size() < size; ++p) {
      bytes.push_back(static_cast<std::uint8_t>(*p));
    }
  }
  return bytes;
}

}  // namespace zevrino::desktop::installer::testing
