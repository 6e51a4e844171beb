// Fuzz target for the payload reader. The input is taken twice:
//   1. as a whole mapped installer file: the PE headers and certificate
//      table, OpenPayload, and DecodePayloadBody when it opens (the seed
//      corpus of small valid installers gets mutations past the marker and
//      the digest);
//   2. as a bare payload body: DecodePayloadBody directly, so that the LZMA
//      and x86 paths see the mutated bytes without passing a digest first.
// Bodies announcing more than 64 MiB are not decoded, to keep the fuzzer
// within its memory limit; the decoder itself would allocate them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "payload/payload_reader.h"
#include "payload/pe_certificate_table.h"

namespace {

using zevrino::desktop::installer::DecodePayloadBody;
using zevrino::desktop::installer::ErrorCode;
using zevrino::desktop::installer::OpenPayload;
using zevrino::desktop::installer::PayloadReader;

constexpr std::uint32_t kMaxDecodedSize = 64u << 20;

void DecodeIfSmall(const PayloadReader& body) {
  PayloadReader peek = body;
  std::uint32_t decoded_size = 0;
  if (peek.ReadVarint(&decoded_size) && decoded_size > kMaxDecodedSize) {
    return;
  }
  const PayloadReader before = body;
  std::vector<std::uint8_t> buffer;
  ErrorCode error;
  const bool ok = DecodePayloadBody(body, &buffer, error);
  if (ok != !error || (!ok && !buffer.empty()) || (ok && buffer.size() < decoded_size)) {
    __builtin_trap();  // result, error code and buffer disagree
  }
  if (body.begin() != before.begin() || body.position() != before.position() ||
      body.end() != before.end()) {
    __builtin_trap();  // the caller's reader must not move
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Copy into an exact-size heap block so that AddressSanitizer sees any read
  // past the end of the "mapping".
  const std::vector<std::uint8_t> file(data, data + size);
  const std::uint8_t* const begin = file.data();
  const std::uint8_t* const end = begin + file.size();

  PayloadReader reader(begin, end);
  std::uint16_t flags = 0;
  ErrorCode error;
  if (OpenPayload(&reader, &flags, error)) {
    if (reader.begin() < begin || reader.end() > end || reader.position() > reader.end()) {
      __builtin_trap();
    }
    // The payload, its marker and its length lie before any certificate
    // table: the signature covers them.
    const std::size_t signed_size =
        zevrino::desktop::installer::FindSignedExtent(begin, size).searchable_size;
    if (static_cast<std::size_t>(reader.end() - begin) + 16 > signed_size) {
      __builtin_trap();
    }
    DecodeIfSmall(reader);
  }

  DecodeIfSmall(PayloadReader(begin, end));
  return 0;
}
