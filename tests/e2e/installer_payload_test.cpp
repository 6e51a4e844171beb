// installer_stub.exe started as a normal user, with payloads made by the
// packer and then damaged here, byte by byte, the way a broken download or a
// bad build step would damage them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "payload/payload_container.h"
#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tests/support/little_endian.h"
#include "tests/support/payload_builder.h"
#include "tests/support/result_code_output.h"
#include "tools/pack_installer/installer_info.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::e2e {
namespace {

namespace installer = desktop::installer;
namespace packer = desktop::packer;

// A run whose payload opened goes on to the normal install. These bodies are
// not archives, so the install itself fails (with the archive's code), but
// never with a payload error.
void ExpectPayloadOpened(const ProcessResult& result) {
  ASSERT_TRUE(result.started && !result.timed_out) << Describe(result);
  EXPECT_NE(result.out.find("Zevrino Installer - Running normal installer."), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Error reading installer payload"), std::string::npos) << result.out;
}

class InstallerPayloadTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
    stub_ = ReadBytes(InstallerStubExe());
    ASSERT_FALSE(stub_.empty());
  }

  fs::path PathOf(const std::string& name) const { return scratch_.path() / name; }

  // Packs `content` onto the stub with the real packer and returns the file.
  Bytes Packed(const std::string& name, const std::vector<std::string>& extra = {},
               const Bytes& content = Content(20000, 0)) {
    WriteBytes(PathOf(name + ".body"), content);
    packer::PackRequest request;
    request.stub_path = InstallerStubExe().string();
    request.output_path = PathOf(name).string();
    request.body = {packer::BodySource::Kind::kFile, PathOf(name + ".body").string()};
    request.encoding.preset = 1;
    for (const std::string& option : extra) {
      if (option == "stored") {
        request.encoding.compression = packer::Compression::kStored;
      }
    }
    std::string error;
    EXPECT_TRUE(packer::Pack(request, &error)) << error;
    return ReadBytes(PathOf(name));
  }

  // Writes the installer under `name` and runs it silently as a normal user.
  ProcessResult RunInstaller(const std::string& name, const Bytes& file) {
    WriteBytes(PathOf(name), file);
    return prefix_->RunAsUser(RunLimitedExe(), PathOf(name), {"--silent"});
  }

  ScratchDir scratch_{"payload"};
  Bytes stub_;
};

TEST_F(InstallerPayloadTest, DamagedPayloadsExitWithTheirCode) {
  const Bytes valid = Packed("valid.exe", {"stored"}, Content(100, 0));
  const std::size_t marker_at = valid.size() - 16;
  const std::size_t payload_at = stub_.size();

  Bytes marker_at_end = stub_;
  const Bytes marker = Marker();
  marker_at_end.insert(marker_at_end.end(), marker.begin(), marker.end());

  Bytes length_beyond_marker = valid;
  PutLe32(&length_beyond_marker, marker_at + 12, static_cast<std::uint32_t>(marker_at + 1));

  Bytes flipped_after_digest = valid;
  flipped_after_digest[payload_at + 4 + 20 + 50] ^= 0x04;

  Bytes short_payload = stub_;
  short_payload.insert(short_payload.end(), {4, 0, 0});
  short_payload.insert(short_payload.end(), marker.begin(), marker.end());
  short_payload.insert(short_payload.end(), {3, 0, 0, 0});

  Bytes header_beyond_payload = valid;
  PutLe16(&header_beyond_payload, payload_at, 0xFFFF);

  const struct {
    const char* name;
    const Bytes& file;
    int code;
  } cases[] = {
      {"no_payload.exe", stub_, 4},
      {"marker_at_end.exe", marker_at_end, 4},
      {"length_beyond_marker.exe", length_beyond_marker, 4},
      {"flipped_after_digest.exe", flipped_after_digest, 2},
      {"short_payload.exe", short_payload, 1},
      {"header_beyond_payload.exe", header_beyond_payload, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult result = RunInstaller(c.name, c.file);
    EXPECT_TRUE(result.ExitedWith(c.code)) << Describe(result);
    EXPECT_NE(result.out.find("Error reading installer payload: " + std::to_string(c.code)),
              std::string::npos)
        << result.out;
  }
}

TEST_F(InstallerPayloadTest, ValidPayloadsOpen) {
  for (const auto& [name, options] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"stored.exe", {"stored"}}, {"compressed.exe", {}}}) {
    SCOPED_TRACE(name);
    const Bytes file = Packed(name, options);
    const ProcessResult result = prefix_->RunAsUser(RunLimitedExe(), PathOf(name), {"--silent"});
    ExpectPayloadOpened(result);
  }
}

// The first complete use of a packed installer: extract mode lays the
// packed application folder down, byte for byte.
TEST_F(InstallerPayloadTest, ExtractLaysDownThePackedFolder) {
  const fs::path app = PathOf("app");
  fs::create_directories(app / "locales");
  const std::vector<std::pair<std::string, Bytes>> files = {{"Zevrino.exe", Content(300000, 0)},
                                                            {"locales/de.pak", Bytes{'d', 'e'}},
                                                            {"locales/pt-BR.pak", Content(4097, 0)},
                                                            {"empty.dat", Bytes{}}};
  for (const auto& [name, bytes] : files) {
    WriteBytes(app / name, bytes);
  }
  packer::PackRequest request;
  request.stub_path = InstallerStubExe().string();
  request.output_path = PathOf("setup.exe").string();
  request.body = {packer::BodySource::Kind::kAppDir, app.string()};
  request.encoding.preset = 1;
  std::string error;
  ASSERT_TRUE(packer::Pack(request, &error)) << error;

  const fs::path target = PathOf("extracted dir");
  const ProcessResult result = prefix_->RunAsUser(RunLimitedExe(), PathOf("setup.exe"),
                                                  {"--extract", ToWindowsPath(target)});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  std::size_t found = 0;
  for (const auto& entry : fs::recursive_directory_iterator(target)) {
    found += entry.is_regular_file() ? 1 : 0;
  }
  EXPECT_EQ(found, files.size());
  for (const auto& [name, bytes] : files) {
    EXPECT_EQ(ReadBytes(target / name), bytes) << name;
  }
}

// Offset of the certificate-table entry (file offset, then size) in the
// data directories of a PE32+ image.
std::size_t CertificateEntryOffset(const Bytes& file) {
  const std::size_t pe = GetLe32(file, 0x3C);
  EXPECT_EQ(GetLe16(file, pe + 24), 0x20B) << "not PE32+";
  return pe + 24 + 112 + 4 * 8;
}

// Signing appends the certificate table after the payload's length field;
// the payload is found before it and installs. The signature's hash skips
// that table, so a second payload planted inside it (the table's size grown
// to cover it) keeps the signature valid; it must never be run. A table that
// points outside the file is refused like a missing payload.
TEST_F(InstallerPayloadTest, OnlyThePayloadInsideTheSignatureInstalls) {
  auto pack_app = [&](const std::string& name, const std::string& file, const Bytes& content) {
    const fs::path app = PathOf(name + ".app");
    WriteBytes(app / file, content);
    packer::PackRequest request;
    request.stub_path = InstallerStubExe().string();
    request.output_path = PathOf(name).string();
    request.body = {packer::BodySource::Kind::kAppDir, app.string()};
    request.encoding.preset = 1;
    request.allow_missing_exe = true;  // the planted payload holds none
    std::string error;
    EXPECT_TRUE(packer::Pack(request, &error)) << error;
    return ReadBytes(PathOf(name));
  };
  const Bytes genuine_exe = Content(30000, 0);
  pack_app("unsigned.exe", "Zevrino.exe", genuine_exe);
  const Bytes planted = pack_app("planted.exe", "planted-only.txt", Content(700, 0));
  fs::remove_all(PathOf("planted.exe.app"));

  const fs::path key = PathOf("key.pem"), cert = PathOf("cert.pem");
  const ProcessResult made_key = RunProcess(
      {"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key.string(), "-out",
       cert.string(), "-subj", "/CN=Zevrino E2E Test", "-days", "2"},
      {}, std::chrono::seconds(60));
  ASSERT_TRUE(made_key.ExitedWith(0)) << Describe(made_key);
  const ProcessResult signed_run = RunProcess(
      {"osslsigncode", "sign", "-certs", cert.string(), "-key", key.string(), "-n", "Zevrino",
       "-in", PathOf("unsigned.exe").string(), "-out", PathOf("signed.exe").string()},
      {}, std::chrono::seconds(60));
  ASSERT_TRUE(signed_run.ExitedWith(0)) << Describe(signed_run);
  const ProcessResult verified = RunProcess(
      {"osslsigncode", "verify", "-CAfile", cert.string(), "-in", PathOf("signed.exe").string()},
      {}, std::chrono::seconds(60));
  EXPECT_TRUE(verified.ExitedWith(0)) << Describe(verified);

  const Bytes unsigned_file = ReadBytes(PathOf("unsigned.exe"));
  const Bytes signed_file = ReadBytes(PathOf("signed.exe"));
  ASSERT_GT(signed_file.size(), unsigned_file.size() + 16);  // something follows the length
  const std::size_t entry = CertificateEntryOffset(signed_file);
  const std::uint32_t table_at = GetLe32(signed_file, entry);
  ASSERT_GE(table_at, unsigned_file.size());
  ASSERT_EQ(table_at + GetLe32(signed_file, entry + 4), signed_file.size());

  // The planted installer's payload, marker and length appended inside the
  // table, which grows to the new end of the file.
  Bytes attacked = signed_file;
  attacked.insert(attacked.end(), planted.begin() + static_cast<std::ptrdiff_t>(stub_.size()),
                  planted.end());
  attacked.resize((attacked.size() + 7) / 8 * 8, 0);
  PutLe32(&attacked, entry + 4, static_cast<std::uint32_t>(attacked.size() - table_at));
  Bytes offset_outside = signed_file;
  PutLe32(&offset_outside, entry, static_cast<std::uint32_t>(signed_file.size() + 64));
  Bytes size_outside = signed_file;
  PutLe32(&size_outside, entry + 4, GetLe32(signed_file, entry + 4) + 4096);

  for (const auto& [name, file] : std::vector<std::pair<std::string, const Bytes*>>{
           {"signed.exe", &signed_file}, {"attacked.exe", &attacked}}) {
    SCOPED_TRACE(name);
    packer::InstallerInfo info;
    std::uint64_t decoded = 0;
    EXPECT_EQ(packer::VerifyInstaller(file->data(), file->size(), &info, &decoded),
              installer::kSuccess);
    EXPECT_EQ(info.payload_offset, stub_.size());
    EXPECT_EQ(info.payload_end, unsigned_file.size());
    EXPECT_EQ(info.signature, installer::SignedExtentStatus::kSigned);

    WriteBytes(PathOf(name), *file);
    const fs::path target = PathOf(name + " extracted");
    const ProcessResult result =
        prefix_->RunAsUser(RunLimitedExe(), PathOf(name), {"--extract", ToWindowsPath(target)});
    EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
    EXPECT_EQ(ReadBytes(target / "Zevrino.exe"), genuine_exe);
    EXPECT_FALSE(fs::exists(target / "planted-only.txt"));
  }
  // The planted archive's file appears nowhere: not beside the installers,
  // not in the prefix (a default extract folder, a temporary folder).
  for (const fs::path& root : {scratch_.path(), prefix_->DriveC()}) {
    for (auto it =
             fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
      EXPECT_NE(it->path().filename(), "planted-only.txt") << it->path();
    }
  }

  for (const auto& [name, file] : std::vector<std::pair<std::string, const Bytes*>>{
           {"offset_outside.exe", &offset_outside}, {"size_outside.exe", &size_outside}}) {
    SCOPED_TRACE(name);
    const ProcessResult result = RunInstaller(name, *file);
    EXPECT_TRUE(result.ExitedWith(4)) << Describe(result);
    EXPECT_NE(result.out.find("Error reading installer payload: 4"), std::string::npos)
        << result.out;
  }
}

// The import table names only DLLs that Windows always takes from System32
// (KnownDLLs and API sets): any other DLL, a MinGW runtime DLL or a system
// DLL such as version, wininet or comctl32, would be looked for next to the
// installer first, where a planted copy would run before wWinMain. Those are
// loaded at run time from System32 instead.
TEST_F(InstallerPayloadTest, StubImportsOnlyDllsWindowsTakesFromSystem32) {
  const ProcessResult dump =
      RunProcess({"x86_64-w64-mingw32-objdump", "-p", InstallerStubExe().string()}, {},
                 std::chrono::seconds(60));
  ASSERT_TRUE(dump.ExitedWith(0)) << Describe(dump);
  const std::set<std::string> known_dlls = {"kernel32.dll", "user32.dll",  "gdi32.dll",
                                            "advapi32.dll", "shell32.dll", "ole32.dll",
                                            "oleaut32.dll", "msvcrt.dll",  "shlwapi.dll"};
  std::vector<std::string> imported;
  const std::string tag = "DLL Name: ";
  for (std::size_t at = dump.out.find(tag); at != std::string::npos;
       at = dump.out.find(tag, at + 1)) {
    std::string name = dump.out.substr(at + tag.size(), dump.out.find('\n', at) - at - tag.size());
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    imported.push_back(name);
  }
  ASSERT_FALSE(imported.empty()) << dump.out;
  EXPECT_NE(std::find(imported.begin(), imported.end(), "kernel32.dll"), imported.end());
  for (const std::string& name : imported) {
    // api-ms-win-* are API sets that Windows resolves itself.
    EXPECT_TRUE(known_dlls.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0)
        << "installer_stub.exe imports " << name
        << ", which Windows may load from the installer's folder";
  }
}

}  // namespace
}  // namespace zevrino::e2e
