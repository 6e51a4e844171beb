#include "tests/e2e/harness/signing.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "tests/e2e/harness/wine_prefix.h"
#include "tests/support/little_endian.h"
#include "tests/support/test_signing_posix.h"

namespace zevrino::e2e {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::unique_ptr<TestSigning> TestSigning::Create(const fs::path& directory, std::string* error) {
  std::unique_ptr<TestSigning> signing(new TestSigning(directory));
  if (!MakeTestCertificates(directory, error)) {
    return nullptr;
  }
  return signing;
}

bool TestSigning::Sign(const fs::path& input, const fs::path& output, Signer signer,
                       std::string* error) const {
  return SignWithTestCertificate(directory_, input, output, signer, false, error);
}

bool TestSigning::TrustRoot(const WinePrefix& prefix, std::string* error) const {
  const fs::path der = directory_ / "root.der";
  if (!RunShellScript("openssl x509 -in root.pem -outform DER -out root.der", directory_, error)) {
    return false;
  }
  const Bytes bytes = ReadBytes(der);
  // "SHA1 Fingerprint=AB:CD:...": the store's key is those digits alone.
  const ProcessResult fingerprint =
      RunProcess({"openssl", "x509", "-in", (directory_ / "root.pem").string(), "-noout",
                  "-fingerprint", "-sha1"},
                 {}, std::chrono::minutes(1));
  std::string thumbprint;
  for (char c : fingerprint.out.substr(fingerprint.out.find('=') + 1)) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      thumbprint += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  if (!fingerprint.ExitedWith(0) || thumbprint.size() != 40) {
    *error = "openssl x509 -fingerprint: " + Describe(fingerprint);
    return false;
  }
  char hex[3];
  // The store keeps each certificate as a blob of properties: property 32
  // (the encoded certificate), a reserved 1, its length, then its bytes.
  Bytes blob = {32, 0, 0, 0, 1, 0, 0, 0};
  AppendLe32(&blob, static_cast<std::uint32_t>(bytes.size()));
  blob.insert(blob.end(), bytes.begin(), bytes.end());
  std::string reg =
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\SystemCertificates\\Root"
      "\\Certificates\\" +
      thumbprint + "]\n\"Blob\"=hex:";
  for (std::size_t i = 0; i < blob.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", blob[i]);
    reg += (i == 0 ? "" : ",") + std::string(hex);
  }
  const fs::path reg_file = directory_ / "root.reg";
  WriteText(reg_file, reg + "\n");
  const ProcessResult imported = prefix.RunWine({"reg", "import", ToWindowsPath(reg_file)});
  if (!imported.ExitedWith(0)) {
    *error = "reg import: " + Describe(imported);
    return false;
  }
  return true;
}

}  // namespace zevrino::e2e
