#include <gtest/gtest.h>

#include <sstream>

#include "payload/archive_reader.h"
#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "payload/sha1.h"
#include "tests/support/payload_builder.h"
#include "tests/support/scratch_directory.h"
#include "tools/pack_installer/file_io.h"
#include "tools/pack_installer/installer_info.h"
#include "tools/pack_installer/pack_installer_app.h"
#include "tools/pack_installer/packer.h"

namespace zevrino::desktop::packer {
namespace {

using installer::ErrorCode;
using installer::PayloadReader;
using installer::testing::ReadBytes;
using installer::testing::ScratchDirectory;
using installer::testing::WriteBytes;

const std::vector<std::uint8_t> kStub = {'M', 'Z', 0x90, 0x00, 'i', 'm', 'a', 'g', 'e'};

struct RunResult {
  int exit_code;
  std::string out;
  std::string err;
};

RunResult RunTool(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = RunPackInstaller(args, out, err);
  return {code, out.str(), err.str()};
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i) {
    data[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 9));
  }
  return data;
}

class PackInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stub_ = dir_.File("stub.exe");
    body_ = dir_.File("body.bin");
    out_ = dir_.File("out.exe");
    WriteBytes(stub_, kStub);
  }

  // Opens the written installer as the installer does and decodes its body.
  void ExpectInstaller(const std::vector<std::uint8_t>& content, std::uint16_t flags,
                       std::uint16_t header_size) {
    const std::vector<std::uint8_t> file = ReadBytes(out_);
    ASSERT_GT(file.size(), kStub.size());
    EXPECT_TRUE(std::equal(kStub.begin(), kStub.end(), file.begin()));
    PayloadReader reader(file.data(), file.data() + file.size());
    std::uint16_t read_flags = 0xFFFF;
    ErrorCode error;
    ASSERT_TRUE(installer::OpenPayload(&reader, &read_flags, error)) << error.value();
    EXPECT_EQ(read_flags, flags);
    EXPECT_EQ(reader.begin(), file.data() + kStub.size());
    // The trailer is marker and length, nothing else.
    EXPECT_EQ(reader.end() + installer::kPayloadMarkerSize + 4, file.data() + file.size());
    EXPECT_EQ(reader.begin()[0] | reader.begin()[1] << 8, header_size);
    for (std::size_t i = 4; i < header_size; ++i) {
      ASSERT_EQ(reader.begin()[i], 0) << "header padding at " << i;
    }
    std::vector<std::uint8_t> decoded;
    ASSERT_TRUE(installer::DecodePayloadBody(reader, &decoded, error)) << error.value();
    EXPECT_EQ(decoded, content);
  }

  ScratchDirectory dir_;
  std::string stub_, body_, out_;
};

// Command lines through the whole tool, read back with the installer's
// payload code: encodings, flags and header sizes.
TEST_F(PackInstallerTest, PackedInstallersOpenAndDecode) {
  struct Case {
    std::vector<std::string> options;
    std::size_t size;
    std::uint16_t flags;
    std::uint16_t header_size;
  };
  const Case cases[] = {
      {{}, 200000, 0, 4},
      {{"--stored"}, 3000, 0, 4},
      {{"--stored"}, 0, 0, 4},
      {{"--preset", "0"}, 0, 0, 4},
      {{"--preset=1e", "--filter=none"}, 5, 0, 4},
      {{"--web-installer"}, 700, installer::kWebInstaller, 4},
      {{"--no-replace-prompt", "--web-installer", "--header-size", "5"},
       64,
       installer::kWebInstaller | installer::kNoReplacePrompt,
       5},
      {{"--stored", "--header-size=65535"}, 10, 0, 65535},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.options));
    const std::vector<std::uint8_t> content = Pattern(c.size);
    WriteBytes(body_, content);
    std::vector<std::string> args = {"pack", "--stub", stub_, "--output", out_, "--body", body_};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const RunResult result = RunTool(args);
    ASSERT_EQ(result.exit_code, kExitSuccess) << result.err;
    ExpectInstaller(content, c.flags, c.header_size);

    const RunResult verify = RunTool({"verify", out_});
    EXPECT_EQ(verify.exit_code, kExitSuccess) << verify.err;
    EXPECT_NE(verify.out.find(std::to_string(c.size) + " bytes decoded"), std::string::npos);
  }
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"body.bin", "out.exe", "stub.exe"}));
}

// The body sources that build the body themselves: an application folder
// becomes an archive the installer's reader walks, an address becomes a
// download description and makes a web installer.
TEST_F(PackInstallerTest, AppDirAndWebUrlBuildTheirBodies) {
  WriteBytes(dir_.File("app/Zevrino.exe"), Pattern(3000));
  WriteBytes(dir_.File("app/locales/de.pak"), {'d', 'e'});
  WriteBytes(dir_.File("app/empty.txt"), {});
  RunResult result =
      RunTool({"pack", "--stub", stub_, "--output", out_, "--app-dir", dir_.File("app")});
  ASSERT_EQ(result.exit_code, kExitSuccess) << result.err;

  std::vector<std::uint8_t> file = ReadBytes(out_);
  PayloadReader reader(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  ErrorCode error;
  ASSERT_TRUE(installer::OpenPayload(&reader, &flags, error));
  EXPECT_EQ(flags, 0);
  std::vector<std::uint8_t> archive;
  ASSERT_TRUE(installer::DecodePayloadBody(reader, &archive, error));
  PayloadReader entries(archive.data(), archive.data() + archive.size());
  std::uint32_t version = 0;
  ASSERT_TRUE(entries.ReadVarint(&version));
  EXPECT_EQ(version, installer::kArchiveVersion);
  ASSERT_TRUE(entries.Skip(installer::kArchiveDigestSize));
  std::vector<std::pair<std::wstring, std::size_t>> listed;
  std::wstring name;
  PayloadReader content;
  while (installer::NextArchiveEntry(&entries, &name, &content, error)) {
    std::replace(name.begin(), name.end(), L'\\', L'/');
    listed.emplace_back(name, content.Remaining());
  }
  EXPECT_FALSE(error) << error.value();
  EXPECT_EQ(listed, (std::vector<std::pair<std::wstring, std::size_t>>{
                        {L"locales/de.pak", 2}, {L"Zevrino.exe", 3000}, {L"empty.txt", 0}}));
  // list shows the same entries with their sizes.
  const RunResult list = RunTool({"list", out_});
  ASSERT_EQ(list.exit_code, kExitSuccess) << list.err;
  for (const char* line : {"archive:        version 513\n", "             2  locales/de.pak\n",
                           "          3000  Zevrino.exe\n", "             0  empty.txt\n",
                           "entries:        3 files, 3002 bytes\n"}) {
    EXPECT_NE(list.out.find(line), std::string::npos) << line << list.out;
  }

  const std::string url = "https://downloads.example/[ARCH]/ZevrinoSetup.exe";
  result = RunTool({"pack", "--stub", stub_, "--output", out_, "--web-url=" + url, "--stored"});
  ASSERT_EQ(result.exit_code, kExitSuccess) << result.err;
  std::vector<std::uint8_t> description = {1, 0, 0, 0, static_cast<std::uint8_t>(url.size() + 1),
                                           0, 0, 0};
  description.insert(description.end(), url.begin(), url.end());
  description.push_back(0);
  ExpectInstaller(description, installer::kWebInstaller, 4);

  // An installer written into the folder it packs would be packed next time.
  result = RunTool({"pack", "--stub", stub_, "--output", dir_.File("app/setup.exe"), "--app-dir",
                    dir_.File("app")});
  EXPECT_EQ(result.exit_code, kExitFailure);
  EXPECT_NE(result.err.find("inside the application folder"), std::string::npos) << result.err;
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "app" / "setup.exe"));
}

// Every failing pack names the file at fault in one line and leaves the
// output name as it was: absent, or with its previous contents.
TEST_F(PackInstallerTest, FailedPackLeavesNoOutput) {
  WriteBytes(body_, Pattern(100));
  WriteBytes(dir_.File("not_pe.exe"), {'E', 'L', 'F'});
  ASSERT_EQ(RunTool({"pack", "--stub", stub_, "--output", dir_.File("packed.exe"), "--body", body_,
                     "--stored"})
                .exit_code,
            kExitSuccess);
  const std::string missing_dir_out = dir_.File("no_such_dir") + "/out.exe";
  struct Case {
    std::string stub, body, output, blamed;
  };
  const Case cases[] = {
      {dir_.File("missing.exe"), body_, out_, dir_.File("missing.exe")},
      {stub_, dir_.File("missing.bin"), out_, dir_.File("missing.bin")},
      {dir_.File("not_pe.exe"), body_, out_, dir_.File("not_pe.exe")},
      {dir_.File("packed.exe"), body_, out_, dir_.File("packed.exe")},  // already packed
      {stub_, dir_.path().u8string(), out_, dir_.path().u8string()},    // body is a directory
      {stub_, body_, stub_, stub_},                                     // would destroy the stub
      {stub_, body_, missing_dir_out, missing_dir_out},
  };
  for (const bool existing : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.blamed + (existing ? " over an existing output" : ""));
      if (existing) {
        WriteBytes(out_, {'o', 'l', 'd'});
      }
      const RunResult result =
          RunTool({"pack", "--stub", c.stub, "--output", c.output, "--body", c.body});
      EXPECT_EQ(result.exit_code, kExitFailure);
      EXPECT_EQ(result.err.rfind("pack_installer: " + c.blamed + ": ", 0), 0u) << result.err;
      EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
      if (existing) {
        EXPECT_EQ(ReadBytes(out_), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
      }
      EXPECT_EQ(ReadBytes(stub_), kStub);
      std::vector<std::string> expected = {"body.bin", "not_pe.exe", "packed.exe", "stub.exe"};
      if (existing) {
        expected.insert(expected.begin() + 2, "out.exe");
      }
      EXPECT_EQ(dir_.Entries(), expected);
    }
  }
}

// The temporary file is removed unless committed, and a commit replaces an
// existing file (on Windows a plain rename refuses to).
TEST_F(PackInstallerTest, AtomicOutputFileCommitsOrLeavesNothing) {
  std::string error;
  {
    AtomicOutputFile file;
    ASSERT_TRUE(file.Open(out_, &error)) << error;
    ASSERT_TRUE(file.Write("partial", 7, &error)) << error;
    EXPECT_EQ(file.temporary_path().parent_path(), dir_.path());
    EXPECT_EQ(dir_.Entries().size(), 2u);  // stub and the temporary file
  }
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"stub.exe"});

  WriteBytes(out_, {'o', 'l', 'd'});
  AtomicOutputFile file;
  ASSERT_TRUE(file.Open(out_, &error)) << error;
  ASSERT_TRUE(file.Write("new", 3, &error)) << error;
  ASSERT_TRUE(file.Commit(&error)) << error;
  EXPECT_EQ(ReadBytes(out_), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
  EXPECT_EQ(dir_.Entries(), (std::vector<std::string>{"out.exe", "stub.exe"}));
}

TEST_F(PackInstallerTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"unpack"},
      {"help", "unpack"},
      {"list"},
      {"verify", "a.exe", "b.exe"},
      {"pack", "--output", "o", "--body", "b"},
      {"pack", "--stub", "s", "--body", "b"},
      {"pack", "--stub", "s", "--output", "o"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--body", "c"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--stored", "--preset", "6"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--stored", "--filter", "x86"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--preset", "10"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--preset", "6x"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--filter", "arm"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--header-size", "3"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--header-size", "65536"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--header-size", "-4"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--stored=yes"},
      {"pack", "--stub", "s", "--output", "o", "--body"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--bogus"},
      {"pack", "--stub", "s", "--output", "o", "--body", "b", "--app-dir", "d"},
      {"pack", "--stub", "s", "--output", "o", "--app-dir", "d", "--web-installer"},
      {"pack", "--stub", "s", "--output", "o", "--web-url", "ftp://host/x.exe"},
      {"pack", "--stub", "s", "--output", "o", "--web-url", "https://"},
      {"pack", "--stub", "s", "--output", "o", "--web-url", "https://host/a\nb"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(::testing::PrintToString(args));
    const RunResult result = RunTool(args);
    EXPECT_EQ(result.exit_code, kExitUsage);
    EXPECT_EQ(result.err.rfind("pack_installer: ", 0), 0u);
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_TRUE(result.out.empty());
  }
  for (const std::vector<std::string>& help :
       {std::vector<std::string>{"--help"}, {"help", "pack"}, {"pack", "--stub", "x", "--help"}}) {
    const RunResult result = RunTool(help);
    EXPECT_EQ(result.exit_code, kExitSuccess);
    EXPECT_EQ(result.out.rfind("usage: pack_installer", 0), 0u);
  }
}

// list describes, verify judges: a damaged digest is listed as INVALID but
// fails verification; a body that passes its digest but does not decode
// fails verification only.
TEST_F(PackInstallerTest, ListAndVerifyReportDamage) {
  const std::vector<std::uint8_t> content = Pattern(5000);
  WriteBytes(body_, content);
  ASSERT_EQ(RunTool({"pack", "--stub", stub_, "--output", out_, "--body", body_, "--preset", "0",
                     "--no-replace-prompt"})
                .exit_code,
            kExitSuccess);
  const std::vector<std::uint8_t> good = ReadBytes(out_);
  RunResult list = RunTool({"list", out_});
  ASSERT_EQ(list.exit_code, kExitSuccess) << list.err;
  for (const char* line :
       {"payload offset: 9\n", "flags:          0x0002 (NoReplacePrompt)\n",
        "digest:         valid\n", "decoded size:   5000\n",
        "body encoding:  LZMA1, x86 filter, lc 3 lp 0 pb 2, dictionary 33554432\n"}) {
    EXPECT_NE(list.out.find(line), std::string::npos) << line << list.out;
  }

  // One bit flipped in the compressed data, after the digest.
  std::vector<std::uint8_t> flipped = good;
  flipped[flipped.size() - 40] ^= 0x10;
  WriteBytes(out_, flipped);
  list = RunTool({"list", out_});
  EXPECT_EQ(list.exit_code, kExitSuccess);
  EXPECT_NE(list.out.find("digest:         INVALID"), std::string::npos) << list.out;
  RunResult verify = RunTool({"verify", out_});
  EXPECT_EQ(verify.exit_code, kExitFailure);
  EXPECT_NE(verify.err.find("digest mismatch (code 2)"), std::string::npos) << verify.err;

  // An impossible properties byte with a digest that matches it.
  InstallerInfo info;
  ErrorCode error;
  ASSERT_TRUE(InspectInstaller(good.data(), good.size(), &info, error));
  std::vector<std::uint8_t> bad_properties = good;
  const std::size_t body_start = info.payload_offset + info.header_size + 20;
  const std::size_t properties_at =
      info.payload_offset + info.payload_size - info.body.encoded_size;
  ASSERT_EQ(bad_properties[properties_at], 0x5D);
  bad_properties[properties_at] = 225;
  installer::Sha1Digest(bad_properties.data() + body_start,
                        info.payload_offset + info.payload_size - body_start,
                        bad_properties.data() + body_start - 20);
  WriteBytes(out_, bad_properties);
  EXPECT_EQ(RunTool({"list", out_}).exit_code, kExitSuccess);
  verify = RunTool({"verify", out_});
  EXPECT_EQ(verify.exit_code, kExitFailure);
  EXPECT_NE(verify.err.find("does not decode (code 3)"), std::string::npos) << verify.err;

  for (const std::string& path : {stub_, dir_.File("missing.exe")}) {
    for (const char* command : {"list", "verify"}) {
      const RunResult result = RunTool({command, path});
      EXPECT_EQ(result.exit_code, kExitFailure);
      EXPECT_EQ(result.err.rfind("pack_installer: " + path + ": ", 0), 0u) << result.err;
    }
  }
}

// A certificate table after the payload: list says where it lies without
// judging it, verify refuses one that holds no signature; a misplaced table
// hides the payload (4).
TEST_F(PackInstallerTest, ListAndVerifyTellWhetherASignatureFollows) {
  const std::vector<std::uint8_t> stub = installer::testing::MakePeImage(0x800);
  WriteBytes(stub_, stub);
  WriteBytes(body_, Pattern(3000));
  ASSERT_EQ(
      RunTool({"pack", "--stub", stub_, "--output", out_, "--body", body_, "--stored"}).exit_code,
      kExitSuccess);
  const std::vector<std::uint8_t> packed = ReadBytes(out_);
  const std::vector<std::uint8_t> signed_file =
      installer::testing::AppendCertificateTable(packed, std::vector<std::uint8_t>(1000, 0x30));
  const std::size_t table_at = signed_file.size() - 1000;
  const std::string ends = "payload ends at " + std::to_string(packed.size()) + "; ";

  RunResult list = RunTool({"list", out_});
  EXPECT_NE(list.out.find("signature:      " + ends + "not signed\n"), std::string::npos)
      << list.out;
  WriteBytes(out_, signed_file);
  const std::string table = "certificate table at " + std::to_string(table_at) + ", 1000 bytes";
  list = RunTool({"list", out_});
  EXPECT_NE(list.out.find("signature:      " + ends + table + ", closing the file\n"),
            std::string::npos)
      << list.out;
  RunResult verify = RunTool({"verify", out_});
  EXPECT_EQ(verify.exit_code, kExitFailure);
  EXPECT_NE(verify.out.find("payload:    valid, 3000 bytes decoded"), std::string::npos);
  EXPECT_NE(verify.out.find("signature:  UNREADABLE: "), std::string::npos) << verify.out;

  // The table's size field 8 short: 8 bytes follow the table, as if appended
  // after signing; 8 too long: the table runs past the end of the file.
  const std::vector<std::pair<std::uint8_t, std::string>> sizes = {
      {0xE0, table.substr(0, table.size() - 10) + "992 bytes, then 8 bytes appended after it"},
      {0xF0, "certificate table refused: at " + std::to_string(table_at) + ", 1008 bytes"}};
  for (const auto& [low_byte, said] : sizes) {
    std::vector<std::uint8_t> misplaced = signed_file;
    misplaced[installer::testing::kPeCertificateEntryOffset + 4] = low_byte;
    WriteBytes(out_, misplaced);
    for (const char* command : {"list", "verify"}) {
      const RunResult result = RunTool({command, out_});
      EXPECT_EQ(result.exit_code, kExitFailure);
      EXPECT_NE(result.err.find("no payload found (code 4)"), std::string::npos) << result.err;
    }
    EXPECT_NE(RunTool({"list", out_}).err.find(said), std::string::npos) << said;
  }
}

// What pack refuses unless told otherwise, and the one line it prints.
TEST_F(PackInstallerTest, PackRefusesWhatWouldShipBroken) {
  WriteBytes(dir_.File("app/readme.txt"), {'r'});
  const std::vector<std::uint8_t> signed_stub =
      installer::testing::AppendCertificateTable(installer::testing::MakePeImage(0x400), {1, 2});
  WriteBytes(dir_.File("signed.exe"), signed_stub);
  const std::string app = dir_.File("app");
  struct Case {
    std::vector<std::string> source;
    int exit_code;
    std::string said;
  };
  const Case cases[] = {
      {{"--app-dir", app}, kExitFailure, "holds no Zevrino.exe"},
      {{"--app-dir", app, "--allow-missing-exe"}, kExitSuccess, ": 1 file, "},
      {{"--web-url", "http://test.invalid/a.exe"}, kExitUsage, "untrusted networks"},
      {{"--web-url", "HTTP://test.invalid/a.exe", "--allow-http"}, kExitSuccess, ": 1 address, "},
      {{"--web-url", "https://a/1.exe", "--web-url=https://b/2.exe"},
       kExitSuccess,
       ": 2 addresses, "},
      {{"--body", body_, "--stub", dir_.File("signed.exe")}, kExitFailure, "then sign the packed"},
  };
  WriteBytes(body_, Pattern(10));
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.source));
    std::vector<std::string> args = {"pack", "--stub", stub_, "--output", out_};
    args.insert(args.end(), c.source.begin(), c.source.end());
    std::filesystem::remove(out_);
    const RunResult result = RunTool(args);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.err;
    EXPECT_NE((result.out + result.err).find(c.said), std::string::npos) << result.out + result.err;
    EXPECT_EQ(std::filesystem::exists(out_), c.exit_code == kExitSuccess);
  }
  // The last success: list and verify show both addresses and which one is used.
  ASSERT_EQ(RunTool({"pack", "--stub", stub_, "--output", out_, "--web-url", "https://a/1.exe",
                     "--web-url", "https://b/2.exe"})
                .exit_code,
            kExitSuccess);
  for (const auto& [command, gap] :
       {std::pair<const char*, std::string>{"list", "      "}, {"verify", "  "}}) {
    const RunResult result = RunTool({command, out_});
    EXPECT_EQ(result.exit_code, kExitSuccess) << result.err;
    EXPECT_NE(result.out.find("address 1:" + gap + "https://a/1.exe\naddress 2:" + gap +
                              "https://b/2.exe (downloaded)\n"),
              std::string::npos)
        << result.out;
  }
}

}  // namespace
}  // namespace zevrino::desktop::packer
