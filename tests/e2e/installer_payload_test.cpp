// installer_stub.exe started as a normal user, with payloads made by the
// packer and then damaged here, byte by byte, the way a broken download or a
// bad build step would damage them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>

#include "payload/payload_container.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tools/pack_installer/installer_info.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::e2e {
namespace {

namespace fs = std::filesystem;
namespace installer = desktop::installer;
namespace packer = desktop::packer;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

void PutLe16(Bytes* bytes, std::size_t at, std::uint16_t value) {
  (*bytes)[at] = static_cast<std::uint8_t>(value);
  (*bytes)[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(Bytes* bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    (*bytes)[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

Bytes Marker() {
  const std::uint8_t* marker = installer::PayloadMarker();
  return Bytes(marker, marker + installer::kPayloadMarkerSize);
}

// Something that looks like program code, so that the x86 filter has work.
Bytes Content(std::size_t size) {
  Bytes content(size);
  for (std::size_t i = 0; i < size; ++i) {
    content[i] = i % 9 == 0 ? 0xE8 : static_cast<std::uint8_t>(i * 131 >> 3);
  }
  return content;
}

class InstallerPayloadTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
    stub_ = ReadFile(InstallerStubExe());
    ASSERT_FALSE(stub_.empty());
  }

  fs::path PathOf(const std::string& name) const { return scratch_.path() / name; }

  // Packs `content` onto the stub with the real packer and returns the file.
  Bytes Packed(const std::string& name, const std::vector<std::string>& extra = {},
               const Bytes& content = Content(20000)) {
    WriteFile(PathOf(name + ".body"), content);
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
    return ReadFile(PathOf(name));
  }

  // Writes the installer under `name` and runs it silently as a normal user.
  ProcessResult RunInstaller(const std::string& name, const Bytes& file) {
    WriteFile(PathOf(name), file);
    return prefix_->RunAsUser(RunLimitedExe(), PathOf(name), {"--silent"});
  }

  ScratchDir scratch_{"payload"};
  Bytes stub_;
};

TEST_F(InstallerPayloadTest, DamagedPayloadsExitWithTheirCode) {
  const Bytes valid = Packed("valid.exe", {"stored"}, Content(100));
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
    EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
    EXPECT_EQ(result.out.find("Error reading installer payload"), std::string::npos) << result.out;
  }
}

// The first complete use of a packed installer: extract mode lays the
// packed application folder down, byte for byte.
TEST_F(InstallerPayloadTest, ExtractLaysDownThePackedFolder) {
  const fs::path app = PathOf("app");
  fs::create_directories(app / "locales");
  const std::vector<std::pair<std::string, Bytes>> files = {{"Zevrino.exe", Content(300000)},
                                                            {"locales/de.pak", Bytes{'d', 'e'}},
                                                            {"locales/pt-BR.pak", Content(4097)},
                                                            {"empty.dat", Bytes{}}};
  for (const auto& [name, bytes] : files) {
    WriteFile(app / name, bytes);
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
    EXPECT_EQ(ReadFile(target / name), bytes) << name;
  }
}

// Signing appends the certificate table after the payload's length field;
// the payload is found from the end regardless, and the signature covers it.
TEST_F(InstallerPayloadTest, SignedInstallerStillOpensItsPayload) {
  Packed("unsigned.exe");
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

  const Bytes unsigned_file = ReadFile(PathOf("unsigned.exe"));
  const Bytes signed_file = ReadFile(PathOf("signed.exe"));
  ASSERT_GT(signed_file.size(), unsigned_file.size() + 16);  // something follows the length
  packer::InstallerInfo info;
  std::uint64_t decoded = 0;
  EXPECT_EQ(packer::VerifyInstaller(signed_file.data(), signed_file.size(), &info, &decoded), 0u);
  EXPECT_EQ(info.payload_offset, stub_.size());

  const ProcessResult result =
      prefix_->RunAsUser(RunLimitedExe(), PathOf("signed.exe"), {"--silent"});
  EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
}

// A stub that needed a MinGW runtime DLL (libstdc++, libgcc, winpthread) or
// any other non-system DLL would not start on a clean machine, which Wine's
// own search path can hide.
TEST_F(InstallerPayloadTest, StubImportsOnlySystemDlls) {
  const ProcessResult dump =
      RunProcess({"x86_64-w64-mingw32-objdump", "-p", InstallerStubExe().string()}, {},
                 std::chrono::seconds(60));
  ASSERT_TRUE(dump.ExitedWith(0)) << Describe(dump);
  const std::set<std::string> system_dlls = {
      "kernel32.dll", "user32.dll",   "gdi32.dll",    "advapi32.dll", "shell32.dll", "ole32.dll",
      "oleaut32.dll", "comctl32.dll", "comdlg32.dll", "shlwapi.dll",  "wininet.dll", "version.dll",
      "msvcrt.dll",   "ntdll.dll",    "combase.dll",  "shcore.dll",   "uxtheme.dll", "bcrypt.dll",
      "crypt32.dll",  "ws2_32.dll",   "userenv.dll",  "secur32.dll",  "dwmapi.dll"};
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
    EXPECT_TRUE(system_dlls.count(name) != 0 || name.rfind("api-ms-win-", 0) == 0)
        << "installer_stub.exe imports " << name << ", which Windows does not ship";
  }
}

}  // namespace
}  // namespace zevrino::e2e
