// Extract mode of the real installer_stub.exe, started as a normal user:
// installers are packed from folders made here, run under Wine, and what they
// lay down is compared with what went in, byte for byte.

#include <gtest/gtest.h>

#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/signing.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"
#include "tests/support/little_endian.h"

namespace zevrino::e2e {
namespace {

class ExtractModeTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
  }

  fs::path PathOf(const std::string& name) const { return scratch_.path() / fs::u8path(name); }

  void Pack(const Tree& tree, const fs::path& output) {
    std::string error;
    ASSERT_TRUE(PackTree(tree, output, &error)) << error;
  }

  ProcessResult Run(const fs::path& installer, const std::vector<std::string>& args) {
    return prefix_->RunAsUser(RunLimitedExe(), installer, args);
  }

  ScratchDir scratch_{"extract"};
};

const std::string kDeepName = "resources/app.asar.unpacked/node_modules/" + std::string(60, 'm') +
                              "/" + std::string(60, 'n') + "/" + std::string(60, 'o') +
                              "/addon.node";

TEST_F(ExtractModeTest, RoundTripKeepsNamesAndBytes) {
  const Tree tree = {
      {"Zevrino.exe", Content(700000, 1)},
      {"empty.dat", {}},
      {"locales/de.pak", TextBytes("de")},
      {"locales/empty.pak", {}},
      {"locales/pt-BR.pak", Content(65537, 2)},
      {"resources/app/deep/er/than/that.js", TextBytes("console.log(1);\n")},
      {u8"caf\u00e9.txt", TextBytes("accent")},
      {u8"\u8cc7\u6599/\u6587\u4ef6.bin", Content(4096, 3)},
      {u8"emoji \U0001F600.txt", TextBytes("outside the BMP")},
      // A deep tree as Electron applications ship: the file's full path
      // below the target passes 300 characters.
      {kDeepName, Content(5000, 4)},
  };
  Pack(tree, PathOf("setup.exe"));

  const fs::path target = PathOf(u8"out \u00e9") / std::string(70, 't');
  ASSERT_GT(ToWindowsPath(target / kDeepName).size(), 300u);
  const ProcessResult result = Run(PathOf("setup.exe"), {"--extract", ToWindowsPath(target)});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  const Tree extracted = ReadTree(target);
  EXPECT_EQ(Names(extracted), Names(tree));
  EXPECT_TRUE(extracted == tree) << "the bytes differ";
  // Nothing but the entries: no staging or backup file stays behind.
  for (const auto& entry : fs::recursive_directory_iterator(target)) {
    EXPECT_TRUE(entry.is_directory() || entry.is_regular_file()) << entry.path();
  }
}

// A link at a name the extract writes is never written through (Wine cannot
// remove it apart from its target: 13, the target as it was). A target
// reached through a link is the user's own choice for the user's run, and
// refused to an elevated one.
TEST_F(ExtractModeTest, LinksAreNeverWrittenThroughAndElevatedRunsFollowNone) {
  const Tree tree = {{"Zevrino.exe", Content(5000, 5)}, {"README.txt", TextBytes("readme")}};
  Pack(tree, PathOf("setup.exe"));
  const fs::path target = PathOf("installed");
  const Tree user_files = {{"notes.txt", TextBytes("the user's notes")}};
  WriteTree(PathOf("documents"), user_files);
  fs::create_directories(target);
  fs::create_symlink(PathOf("documents") / "notes.txt", target / "README.txt");
  const ProcessResult linked = Run(PathOf("setup.exe"), {"--extract", ToWindowsPath(target)});
  EXPECT_TRUE(linked.ExitedWith(13)) << Describe(linked);
  EXPECT_EQ(ReadTree(PathOf("documents")), user_files);
  fs::remove(target / "README.txt");

  fs::create_directory_symlink(target, PathOf("shortcut"));
  const std::vector<std::string> args = {"--extract", ToWindowsPath(PathOf("shortcut"))};
  const ProcessResult elevated = prefix_->RunWine({PathOf("setup.exe").string(), args[0], args[1]});
  EXPECT_TRUE(elevated.ExitedWith(13)) << Describe(elevated);
  EXPECT_TRUE(fs::is_empty(target));
  const ProcessResult user = Run(PathOf("setup.exe"), args);
  EXPECT_TRUE(user.ExitedWith(0)) << Describe(user);
  EXPECT_EQ(ReadTree(target), tree);
}

// Signing appends the certificate table after the payload, which is found
// before it and installs. The signature's hash skips that table, so a second
// payload planted inside it (the table grown to cover it) keeps the
// signature valid: it must never be run, nor its files appear anywhere.
TEST_F(ExtractModeTest, OnlyThePayloadInsideTheSignatureInstalls) {
  const Tree genuine = {{"Zevrino.exe", Content(30000, 0)}};
  Pack(genuine, PathOf("unsigned.exe"));
  std::string error;
  WriteTree(PathOf("planted"), {{"planted-only.txt", Content(700, 0)}});
  ASSERT_TRUE(PackFolder(PathOf("planted"), PathOf("planted.exe"), &error, 1, true)) << error;
  fs::remove_all(PathOf("planted"));
  const auto signing = TestSigning::Create(HostBuildDir() / "e2e" / "test-signing", &error);
  ASSERT_NE(signing, nullptr) << error;
  ASSERT_TRUE(
      signing->Sign(PathOf("unsigned.exe"), PathOf("signed.exe"), Signer::kPublisher, &error))
      << error;

  // The certificate-table entry of a PE32+ image's data directories.
  Bytes attacked = ReadBytes(PathOf("signed.exe"));
  const std::size_t entry = GetLe32(attacked, 0x3C) + 24 + 112 + 4 * 8;
  const std::uint32_t table_at = GetLe32(attacked, entry);
  ASSERT_EQ(table_at + GetLe32(attacked, entry + 4), attacked.size());
  const Bytes planted = ReadBytes(PathOf("planted.exe"));
  const auto stub_size = static_cast<std::ptrdiff_t>(fs::file_size(InstallerStubExe()));
  attacked.insert(attacked.end(), planted.begin() + stub_size, planted.end());
  attacked.resize((attacked.size() + 7) / 8 * 8, 0);
  PutLe32(&attacked, entry + 4, static_cast<std::uint32_t>(attacked.size() - table_at));
  WriteBytes(PathOf("attacked.exe"), attacked);

  for (const std::string name : {"signed.exe", "attacked.exe"}) {
    SCOPED_TRACE(name);
    const fs::path target = PathOf(name + " extracted");
    const ProcessResult result = Run(PathOf(name), {"--extract", ToWindowsPath(target)});
    EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
    EXPECT_EQ(ReadTree(target), genuine);
  }
  for (const fs::path& root : {scratch_.path(), prefix_->DriveC()}) {
    for (auto it =
             fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied);
         it != fs::recursive_directory_iterator(); ++it) {
      EXPECT_NE(it->path().filename(), "planted-only.txt") << it->path();
    }
  }
}

}  // namespace
}  // namespace zevrino::e2e
