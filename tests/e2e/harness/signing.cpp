#include "tests/e2e/harness/signing.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tests/e2e/harness/process.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

namespace fs = std::filesystem;

constexpr char kPublisherSubject[] = "/CN=Zevrino AB Test Publisher/O=Zevrino AB";
constexpr char kRootSubject[] = "/CN=Zevrino Test Root";

// Extensions of the test certificates; the [ca] part serves `openssl ca`,
// the one command that backdates a certificate.
constexpr char kConfig[] = R"([ req ]
distinguished_name = dn
[ dn ]
[ root ]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
[ leaf ]
basicConstraints = CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
[ ca ]
default_ca = backdating
[ backdating ]
database = index.txt
serial = serial.txt
new_certs_dir = .
policy = anything
unique_subject = no
[ anything ]
commonName = supplied
organizationName = optional
)";

bool Run(const std::vector<std::string>& argv, const fs::path& directory, std::string* error) {
  std::vector<std::string> command = {"sh", "-c", "cd \"$0\" && exec \"$@\"", directory.string()};
  command.insert(command.end(), argv.begin(), argv.end());
  const ProcessResult result = RunProcess(command, {}, std::chrono::minutes(1));
  if (!result.ExitedWith(0)) {
    *error = argv[0] + " " + argv[1] + ": " + Describe(result);
    return false;
  }
  return true;
}

std::string NameOf(Signer signer) {
  switch (signer) {
    case Signer::kPublisher:
      return "publisher";
    case Signer::kOtherPublisher:
      return "other";
    case Signer::kExpired:
      return "expired";
    case Signer::kSelfSigned:
      return "selfsigned";
    case Signer::kImpostorChain:
      return "impostor";
  }
  return "?";
}

}  // namespace

std::unique_ptr<TestSigning> TestSigning::Create(const fs::path& directory, std::string* error) {
  std::unique_ptr<TestSigning> signing(new TestSigning(directory));
  if (!fs::exists(directory / "impostor.pem") && !signing->Make(error)) {
    return nullptr;
  }
  return signing;
}

bool TestSigning::Make(std::string* error) const {
  fs::create_directories(directory_);
  std::ofstream(directory_ / "test.cnf") << kConfig;
  std::ofstream(directory_ / "index.txt").close();
  std::ofstream(directory_ / "serial.txt") << "1000\n";
  const auto root = [&](const std::string& name) {
    return Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days",
                "3650", "-config", "test.cnf", "-extensions", "root", "-subj", kRootSubject,
                "-keyout", name + ".key", "-out", name + ".pem"},
               directory_, error);
  };
  const auto request = [&](const std::string& name, const std::string& subject) {
    return Run({"openssl", "req", "-new", "-newkey", "rsa:2048", "-nodes", "-config", "test.cnf",
                "-subj", subject, "-keyout", name + ".key", "-out", name + ".csr"},
               directory_, error);
  };
  const auto issue = [&](const std::string& name, const std::string& ca, const char* serial) {
    return Run(
        {"openssl",     "x509",     "-req",        "-sha256", "-days",     "3650",        "-in",
         name + ".csr", "-CA",      ca + ".pem",   "-CAkey",  ca + ".key", "-set_serial", serial,
         "-extfile",    "test.cnf", "-extensions", "leaf",    "-out",      name + ".pem"},
        directory_, error);
  };
  return root("root") && root("fakeroot") && request("publisher", kPublisherSubject) &&
         issue("publisher", "root", "101") && request("other", "/CN=Other Vendor Test Publisher") &&
         issue("other", "root", "102") && request("expired", kPublisherSubject) &&
         Run({"openssl",     "ca",
              "-batch",      "-config",
              "test.cnf",    "-notext",
              "-md",         "sha256",
              "-cert",       "root.pem",
              "-keyfile",    "root.key",
              "-startdate",  "20200101000000Z",
              "-enddate",    "20210101000000Z",
              "-extfile",    "test.cnf",
              "-extensions", "leaf",
              "-in",         "expired.csr",
              "-out",        "expired.pem"},
             directory_, error) &&
         Run({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days",
              "3650", "-config", "test.cnf", "-extensions", "leaf", "-subj", kPublisherSubject,
              "-keyout", "selfsigned.key", "-out", "selfsigned.pem"},
             directory_, error) &&
         request("impostor", kPublisherSubject) && issue("impostor", "fakeroot", "101");
}

bool TestSigning::Sign(const fs::path& input, const fs::path& output, Signer signer,
                       std::string* error) const {
  const std::string name = NameOf(signer);
  fs::remove(output);
  return Run(
      {"osslsigncode", "sign", "-certs", name + ".pem", "-key", name + ".key", "-h", "sha256", "-n",
       "Zevrino", "-in", fs::absolute(input).string(), "-out", fs::absolute(output).string()},
      directory_, error);
}

bool TestSigning::TrustRoot(const WinePrefix& prefix, std::string* error) const {
  const fs::path der = directory_ / "root.der";
  if (!Run({"openssl", "x509", "-in", "root.pem", "-outform", "DER", "-out", "root.der"},
           directory_, error)) {
    return false;
  }
  std::ifstream in(der, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
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
  std::vector<unsigned char> blob = {32, 0, 0, 0, 1, 0, 0, 0};
  for (int shift = 0; shift < 32; shift += 8) {
    blob.push_back(static_cast<unsigned char>(bytes.size() >> shift));
  }
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
  std::ofstream(reg_file) << reg << "\n";
  const ProcessResult imported = prefix.RunWine({"reg", "import", ToWindowsPath(reg_file)});
  if (!imported.ExitedWith(0)) {
    *error = "reg import: " + Describe(imported);
    return false;
  }
  return true;
}

}  // namespace zevrino::e2e
