// The Windows build of the packer has no PKCS#7 reader: it finds where a
// signature lies but says that it did not check it. The host build checks
// signatures (signature_check_openssl.cpp); on Windows, `signtool verify /pa`
// does.
#include "tools/pack_installer/authenticode_layout.h"
#include "tools/pack_installer/signature_check.h"

namespace zevrino::desktop::packer {

SignatureReport CheckSignature(const std::uint8_t* file, std::size_t size) {
  const AuthenticodeLayout layout = ReadAuthenticodeLayout(file, size);
  SignatureReport report;
  report.signed_end = layout.table_offset;
  report.appended_size = layout.appended_size;
  switch (layout.status) {
    case AuthenticodeLayout::Status::kUnsigned:
      break;
    case AuthenticodeLayout::Status::kMalformed:
      report.state = SignatureState::kUnreadable;
      report.problem = layout.problem;
      break;
    case AuthenticodeLayout::Status::kSigned:
    case AuthenticodeLayout::Status::kAppended:
      report.state = SignatureState::kNotChecked;
      report.problem =
          "this build of pack_installer cannot check signatures; use signtool verify /pa or the "
          "Linux build";
      break;
  }
  return report;
}

}  // namespace zevrino::desktop::packer
