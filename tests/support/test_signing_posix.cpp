#include "tests/support/test_signing_posix.h"

#include "tests/support/process_posix.h"

namespace zevrino::desktop::installer::testing {
namespace {

namespace fs = std::filesystem;

// The test certificates. `openssl ca` is the one command that backdates a
// certificate, for the expired leaf; the impostor's root copies the real
// root's name with a key of its own. The timestamp authority's .pem
// carries its chain, which osslsigncode puts into the timestamp.
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
# Roots and the timestamp authority valid from 2019 on, so that a chain can
# be checked as of a timestamp of 2020.
root() { openssl req -new -newkey rsa:2048 -nodes -config test.cnf \
  -subj "/CN=Zevrino Test Root" -keyout $1.key -out $1.csr
  openssl ca -batch -selfsign -config test.cnf -notext -md sha256 -keyfile $1.key \
  -startdate 20190101000000Z -enddate 20360101000000Z -extfile test.cnf -extensions root \
  -in $1.csr -out $1.pem; }
request() { openssl req -new -newkey rsa:2048 -nodes -config test.cnf -subj "$2" \
  -keyout $1.key -out $1.csr; }
issue() { openssl x509 -req -sha256 -days 3650 -in $1.csr -CA $2.pem -CAkey $2.key \
  -set_serial $3 -extfile test.cnf -extensions ${4:-leaf} -out $1.pem; }
root root; root fakeroot
request publisher "$publisher"; issue publisher root 101
request other "/CN=Other Vendor Test Publisher"; issue other root 102
request tsa "/CN=Zevrino Test Timestamps"
openssl ca -batch -config test.cnf -notext -md sha256 -cert root.pem -keyfile root.key \
  -startdate 20190101000000Z -enddate 20360101000000Z -extfile test.cnf -extensions tsa \
  -in tsa.csr -out tsa.pem
cat root.pem >> tsa.pem
request expired "$publisher"
openssl ca -batch -config test.cnf -notext -md sha256 -cert root.pem -keyfile root.key \
  -startdate 20200101000000Z -enddate 20210101000000Z -extfile test.cnf -extensions leaf \
  -in expired.csr -out expired.pem
openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -config test.cnf \
  -extensions leaf -subj "$publisher" -keyout selfsigned.key -out selfsigned.pem
request impostor "$publisher"; issue impostor fakeroot 101
request intermediate "/CN=Zevrino Test Intermediate"; issue intermediate root 104 root
request renewed "$publisher/L=Gothenburg"; issue renewed intermediate 105
cat renewed.pem intermediate.pem > renewed-chain.pem
request serverauth "$publisher"; issue serverauth root 106 server
: > complete
)";

constexpr const char* kSignerNames[] = {"publisher", "other",   "expired",    "selfsigned",
                                        "impostor",  "renewed", "serverauth", "expired"};

// When the expired leaf's stamped signature says it was made: 2020-06-01,
// while the leaf was valid.
constexpr char kWhileValid[] = "1590969600";

}  // namespace

std::string SignerFileName(Signer signer) {
  return kSignerNames[static_cast<int>(signer)];
}

std::string OfflineTimestampOptions(const fs::path& directory) {
  // 2023-11-14 22:13:20 UTC: fixed, so that what a test prints stays the same.
  return "-TSA-certs \"" + (directory / "tsa.pem").string() + "\" -TSA-key \"" +
         (directory / "tsa.key").string() + "\" -TSA-time 1700000000";
}

bool RunShellScript(const std::string& script, const fs::path& directory, std::string* error) {
  const ProcessResult result = RunProcess(
      {"sh", "-c", "cd \"$0\" && " + script, directory.string()}, {}, std::chrono::minutes(1));
  if (!result.ExitedWith(0)) {
    *error = script.substr(0, script.find('\n')) + ": " + Describe(result);
    return false;
  }
  return true;
}

bool MakeTestCertificates(const fs::path& directory, std::string* error) {
  fs::create_directories(directory);
  return fs::exists(directory / "complete") || RunShellScript(kMakeCertificates, directory, error);
}

bool SignWithTestCertificate(const fs::path& directory, const fs::path& input,
                             const fs::path& output, Signer signer, bool timestamp,
                             std::string* error) {
  const std::string name = SignerFileName(signer);
  // A renewed leaf comes from an intermediate: the signature carries it.
  const std::string certificates = signer == Signer::kRenewed ? "renewed-chain.pem" : name + ".pem";
  std::string stamp = timestamp ? OfflineTimestampOptions(directory) : "";
  if (signer == Signer::kExpiredTimestamped) {
    stamp = OfflineTimestampOptions(directory);
    stamp.replace(stamp.rfind(' ') + 1, std::string::npos, kWhileValid);
  }
  fs::remove(output);
  return RunShellScript("osslsigncode sign -certs " + certificates + " -key " + name +
                            ".key -h sha256 -n Zevrino " + stamp + " -in \"" +
                            fs::absolute(input).string() + "\" -out \"" +
                            fs::absolute(output).string() + "\" >/dev/null",
                        directory, error);
}

}  // namespace zevrino::desktop::installer::testing
