#pragma once
// Authenticode signatures for host tests, made with OpenSSL and
// osslsigncode: a test root and the signers a web installer meets in the
// wild, and a timestamp authority that osslsigncode runs itself (no
// network). Everything is made once per directory and kept there.

#include <filesystem>
#include <string>

namespace zevrino::desktop::installer::testing {

enum class Signer {
  kPublisher,       // the vendor: "CN=Zevrino AB Test Publisher, O=Zevrino AB", a leaf of the root
  kOtherPublisher,  // someone else with a leaf of the same root
  kExpired,         // the vendor's name, a leaf of the root that expired in 2021
  kSelfSigned,      // the vendor's name on a self-signed certificate
  kImpostorChain,   // the vendor's and the root's names, from a root of its own
  kRenewed,         // the vendor's names (and a locality), a leaf of an intermediate
  kServerAuthOnly,  // the vendor's names, a leaf of the root for servers only
  kExpiredTimestamped,  // kExpired's leaf, timestamped while it was valid
};

// The files a signer's certificate and key are kept in, inside the directory:
// "<name>.pem" and "<name>.key".
std::string SignerFileName(Signer signer);

// Options of `osslsigncode sign` that timestamp through its built-in
// authority at a fixed time, with the files of `directory`.
std::string OfflineTimestampOptions(const std::filesystem::path& directory);

// Makes the root "CN=Zevrino Test Root" (root.pem), the signers, and the
// timestamp authority "CN=Zevrino Test Timestamps" in `directory`, unless
// made before. False with the failing command in *error.
bool MakeTestCertificates(const std::filesystem::path& directory, std::string* error);

// Signs `input` into `output` with osslsigncode (SHA-256), timestamped
// offline when asked (kExpiredTimestamped always, as of 2020-06-01).
bool SignWithTestCertificate(const std::filesystem::path& directory,
                             const std::filesystem::path& input,
                             const std::filesystem::path& output, Signer signer, bool timestamp,
                             std::string* error);

// Runs `script` with sh in `directory`; false with its first line and the
// outcome in *error.
bool RunShellScript(const std::string& script, const std::filesystem::path& directory,
                    std::string* error);

}  // namespace zevrino::desktop::installer::testing
