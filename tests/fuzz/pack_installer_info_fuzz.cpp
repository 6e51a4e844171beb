// pack_installer's list and verify on arbitrary files: the inspection reads
// header fields and body fields around the payload reader's checks, and the
// signature check reads the PE headers and the certificate table and hands
// what they name to OpenSSL, so every read must stay inside the file
// whatever the lengths claim.
#include <cstddef>
#include <cstdint>

#include "tools/pack_installer/authenticode_layout.h"
#include "tools/pack_installer/installer_info.h"
#include "tools/pack_installer/signature_check.h"

// Bodies announcing more than 64 MiB are not verified, to keep the fuzzer
// within its memory limit: verifying decodes them, and the decoder would
// allocate and clear all they announce (up to 4 GiB) before it finds the
// stream too short.
constexpr std::uint32_t kMaxDecodedSize = 64u << 20;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zevrino::desktop;
  packer::InstallerInfo info;
  installer::ErrorCode error;
  if (packer::InspectInstaller(data, size, &info, error)) {
    // What list prints must describe bytes inside the file.
    if (info.payload_offset + info.payload_size > size) {
      __builtin_trap();
    }
    if (info.body.declared_size > kMaxDecodedSize) {
      return 0;
    }
  }
  // The digested ranges and the SignedData lie inside the file, in order.
  const packer::AuthenticodeLayout layout = packer::ReadAuthenticodeLayout(data, size);
  std::uint64_t end = 0;
  for (const packer::ByteRange& range : layout.digested) {
    if (range.offset < end || range.offset + range.size > layout.table_offset) {
      __builtin_trap();
    }
    end = range.offset + range.size;
  }
  if (layout.signed_data != nullptr &&
      (layout.signed_data < data || layout.signed_data + layout.signed_data_size > data + size)) {
    __builtin_trap();
  }
  packer::CheckSignature(data, size);
  std::uint64_t decoded = 0;
  packer::VerifyInstaller(data, size, &info, &decoded);
  return 0;
}
