#include "tests/e2e/harness/signing.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "tests/e2e/harness/wine_prefix.h"
#include "tests/support/little_endian.h"

namespace zevrino::e2e {
namespace {

namespace fs = std::filesystem;

// The test certificates. `openssl ca` is the one command that backdates a
// certificate, for the expired leaf; the impostor's root copies the real
// root's name with a key of its own.
constexpr char kMakeCertificates[] = R"(set -e
cat > test.cnf <<'END'
[ req ]
distinguished_name = dn
[ dn ]
[ root ]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
[ leaf ]
basicConstraints = CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = codeSigning
[ server ]
basicConstraints = CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = serverAuth
[ tsa ]
basicConstraints = CA:false
keyUsage = critical,digitalSignature
extendedKeyUsage = critical,timeStamping
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
END
: > index.txt; echo 1000 > serial.txt
publisher="/CN=Zevrino AB Test Publisher/O=Zevrino AB"
# Roots valid from 2019 on, so that a chain can be checked as of a time
# stamp of 2020; `openssl ca` is the one command that backdates.
root() { openssl req -new -newkey rsa:2048 -nodes -config test.cnf \
  -subj "/CN=$2" -keyout $1.key -out $1.csr
  openssl ca -batch -selfsign -config test.cnf -notext -md sha256 -keyfile $1.key \
  -startdate 20190101000000Z -enddate 20360101000000Z -extfile test.cnf -extensions root \
  -in $1.csr -out $1.pem; }
request() { openssl req -new -newkey rsa:2048 -nodes -config test.cnf -subj "$2" \
  -keyout $1.key -out $1.csr; }
issue() { openssl x509 -req -sha256 -days 3650 -in $1.csr -CA $2.pem -CAkey $2.key \
  -set_serial $3 -extfile test.cnf -extensions ${4:-leaf} -out $1.pem; }
root root "Zevrino Test Root"; root fakeroot "Zevrino Test Root"
request publisher "$publisher"; issue publisher root 101
request other "/CN=Other Vendor Test Publisher"; issue other root 102
request expired "$publisher"
openssl ca -batch -config test.cnf -notext -md sha256 -cert root.pem -keyfile root.key \
  -startdate 20200101000000Z -enddate 20210101000000Z -extfile test.cnf -extensions leaf \
  -in expired.csr -out expired.pem
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -config test.cnf \
  -extensions leaf -subj "$publisher" -keyout selfsigned.key -out selfsigned.pem
request impostor "$publisher"; issue impostor fakeroot 101
request intermediate "/CN=Zevrino Test Intermediate"; issue intermediate root 103 root
request renewed "$publisher/L=Gothenburg"; issue renewed intermediate 104
cat renewed.pem intermediate.pem > renewed-chain.pem
request serverauth "$publisher"; issue serverauth root 105 server
request tsa "/CN=Zevrino Test Time Stamps"
openssl ca -batch -config test.cnf -notext -md sha256 -cert root.pem -keyfile root.key \
  -startdate 20190101000000Z -enddate 20360101000000Z -extfile test.cnf -extensions tsa \
  -in tsa.csr -out tsa.pem
cat tsa.pem root.pem > tsa-chain.pem
cp expired.pem expired-stamped.pem; cp expired.key expired-stamped.key
)";

// Each signer's certificate file (with the chain up to the root where the
// root alone does not sign it) and key, by the signer's name.
constexpr const char* kSignerNames[] = {"publisher",  "other",          "expired",
                                        "selfsigned", "impostor",       "renewed",
                                        "serverauth", "expired-stamped"};

// When the timestamp of a stamped signature says it was made: 2020-06-01,
// while the expired leaf was valid.
constexpr char kStampTime[] = "1590969600";

// Runs `script` with sh in `directory`.
bool RunScript(const std::string& script, const fs::path& directory, std::string* error) {
  const ProcessResult result = RunProcess(
      {"sh", "-c", "cd \"$0\" && " + script, directory.string()}, {}, std::chrono::minutes(1));
  if (!result.ExitedWith(0)) {
    *error = script.substr(0, script.find('\n')) + ": " + Describe(result);
    return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<TestSigning> TestSigning::Create(const fs::path& directory, std::string* error) {
  std::unique_ptr<TestSigning> signing(new TestSigning(directory));
  fs::create_directories(directory);
  if (!fs::exists(directory / "expired-stamped.key") &&
      !RunScript(kMakeCertificates, directory, error)) {
    return nullptr;
  }
  return signing;
}

bool TestSigning::Sign(const fs::path& input, const fs::path& output, Signer signer,
                       std::string* error) const {
  const std::string name = kSignerNames[static_cast<int>(signer)];
  const std::string certificates = signer == Signer::kRenewed ? "renewed-chain.pem" : name + ".pem";
  // osslsigncode's own time-stamp authority: no server, a fixed time.
  const std::string stamp =
      signer == Signer::kExpiredTimestamped
          ? std::string(" -TSA-certs tsa-chain.pem -TSA-key tsa.key -TSA-time ") + kStampTime
          : "";
  fs::remove(output);
  return RunScript("osslsigncode sign -certs " + certificates + " -key " + name +
                       ".key -h sha256 -n Zevrino" + stamp + " -in \"" +
                       fs::absolute(input).string() + "\" -out \"" +
                       fs::absolute(output).string() + "\"",
                   directory_, error);
}

bool TestSigning::TrustRoot(const WinePrefix& prefix, std::string* error) const {
  const fs::path der = directory_ / "root.der";
  if (!RunScript("openssl x509 -in root.pem -outform DER -out root.der", directory_, error)) {
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
