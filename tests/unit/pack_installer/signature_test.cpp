// verify against real Authenticode signatures, made by osslsigncode with
// the shared test certificates (host build only).
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/payload_builder.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/test_signing_posix.h"
#include "tools/pack_installer/installer_info.h"
#include "tools/pack_installer/pack_installer_app.h"

namespace zevrino::desktop::packer {
namespace {

using installer::testing::Bytes;
using installer::testing::ReadBytes;
using installer::testing::ScratchDirectory;
using installer::testing::Signer;
using installer::testing::WriteBytes;

int RunTool(const std::vector<std::string>& args, std::string* out) {
  std::ostringstream out_stream, err;
  const int code = RunPackInstaller(args, out_stream, err);
  *out = out_stream.str() + err.str();
  return code;
}

// One line per case, and the exit code: an unsigned file is fine, a signed
// one only while every signed byte and the timestamp are as signed.
TEST(SignatureTest, VerifyTellsEachCaseInOneLine) {
  ScratchDirectory dir;
  std::string error, out;
  ASSERT_TRUE(installer::testing::MakeTestCertificates(dir / "certs", &error)) << error;
  WriteBytes(dir / "stub.exe", installer::testing::MakePeImage(0x1000));
  WriteBytes(dir / "app/Zevrino.exe", installer::testing::RandomBytes(5000, 1));
  ASSERT_EQ(RunTool({"pack", "--stub", dir.File("stub.exe"), "--app-dir", dir.File("app"),
                     "--output", dir.File("unsigned.exe")},
                    &out),
            kExitSuccess)
      << out;
  ASSERT_TRUE(installer::testing::SignWithTestCertificate(
      dir / "certs", dir / "unsigned.exe", dir / "signed.exe", Signer::kPublisher, true, &error))
      << error;
  const Bytes good = ReadBytes(dir / "signed.exe");
  InstallerInfo info;
  installer::ErrorCode code;
  ASSERT_TRUE(InspectInstaller(good.data(), good.size(), &info, code));

  auto changed = [&](std::size_t at) {
    Bytes bytes = good;
    bytes[at] ^= 0x01;
    return bytes;
  };
  Bytes appended = good;
  appended.insert(appended.end(), {'m', 'o', 'r', 'e'});
  const std::string digest_differs = "signature:  BROKEN: the file's sha256 image digest differs";
  const struct {
    const char* name;
    Bytes file;
    int exit_code;
    std::string line;
  } cases[] = {
      {"unsigned", ReadBytes(dir / "unsigned.exe"), kExitSuccess, "signature:  none"},
      {"signed", good, kExitSuccess,
       "signature:  intact: the file's sha256 image digest equals the signed one"},
      {"a stub byte", changed(0x300), kExitFailure, digest_differs},
      {"a payload byte", changed(info.payload_offset + 30), kExitFailure, digest_differs},
      {"appended bytes", appended, kExitFailure,
       "signature:  BROKEN: 4 bytes were appended after the signature"},
      {"a byte of the timestamp's signature", changed(good.size() - 100), kExitFailure,
       "timestamp:  BROKEN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(dir / "case.exe", c.file);
    EXPECT_EQ(RunTool({"verify", dir.File("case.exe")}, &out), c.exit_code) << out;
    EXPECT_NE(out.find("\n" + c.line), std::string::npos) << out;
  }

  // The intact file's signer, as the test certificates name them.
  ASSERT_EQ(RunTool({"verify", dir.File("signed.exe")}, &out), kExitSuccess);
  for (const std::string& line : std::vector<std::string>{
           "signer:     CN=Zevrino AB Test Publisher, O=Zevrino AB\n",
           "issuer:     CN=Zevrino Test Root\n",
           "timestamp:  2023-11-14 22:13:20 UTC by CN=Zevrino Test Timestamps\n",
           "the payload (ending at " + std::to_string(info.payload_end) + ") lies inside them\n",
       }) {
    EXPECT_NE(out.find(line), std::string::npos) << line << out;
  }
  // A signed stub is refused: signing comes after packing.
  ASSERT_TRUE(installer::testing::SignWithTestCertificate(
      dir / "certs", dir / "stub.exe", dir / "signed-stub.exe", Signer::kPublisher, false, &error))
      << error;
  EXPECT_EQ(RunTool({"pack", "--stub", dir.File("signed-stub.exe"), "--app-dir", dir.File("app"),
                     "--output", dir.File("again.exe")},
                    &out),
            kExitFailure);
  EXPECT_NE(out.find("then sign the packed installer"), std::string::npos) << out;
}

}  // namespace
}  // namespace zevrino::desktop::packer
