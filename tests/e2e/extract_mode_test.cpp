// Extract mode of the real installer_stub.exe, started as a normal user:
// installers are packed from folders made here, run under Wine, and what they
// lay down is compared with what went in, byte for byte.

#include <gtest/gtest.h>
#include <unistd.h>

#include "tests/e2e/harness/packing.h"
#include "tests/e2e/harness/prefix_test.h"
#include "tests/e2e/harness/test_paths.h"
#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {
namespace {

// Makes the wine processes started while it lives begin in `directory`:
// the launcher and the installer inherit Wine's current directory, which
// Wine takes from the Linux one.
class CurrentDirectory {
 public:
  explicit CurrentDirectory(const fs::path& directory) : previous_(fs::current_path()) {
    fs::current_path(directory);
  }
  ~CurrentDirectory() { fs::current_path(previous_); }
  CurrentDirectory(const CurrentDirectory&) = delete;
  CurrentDirectory& operator=(const CurrentDirectory&) = delete;

 private:
  fs::path previous_;
};

class ExtractModeTest : public PrefixTest {
 protected:
  void SetUp() override {
    ZV_REQUIRE_WINDOWS_PROGRAM(RunLimitedExe());
    ZV_REQUIRE_WINDOWS_PROGRAM(InstallerStubExe());
    ASSERT_TRUE(OpenSharedPrefix()) << PrefixError();
  }

  fs::path PathOf(const std::string& name) const { return scratch_.path() / fs::u8path(name); }

  // Packs the folder `app` onto the stub with the packer, as a release would.
  void PackFolder(const fs::path& app, const fs::path& output) {
    std::string error;
    ASSERT_TRUE(e2e::PackFolder(app, output, &error)) << error;
  }

  // A folder with the given files, packed into `output`.
  void PackTree(const Tree& tree, const fs::path& output) {
    const fs::path app = PathOf("app-" + output.filename().string());
    WriteTree(app, tree);
    PackFolder(app, output);
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
  PackTree(tree, PathOf("setup.exe"));

  const fs::path target = PathOf(u8"out \u00e9") / std::string(70, 't');
  ASSERT_GT(ToWindowsPath(target / kDeepName).size(), 300u);
  const ProcessResult result = Run(PathOf("setup.exe"), {"--extract", ToWindowsPath(target)});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  const Tree extracted = ReadTree(target);
  EXPECT_EQ(Names(extracted), Names(tree));
  for (const auto& [name, bytes] : tree) {
    const auto found = extracted.find(name);
    ASSERT_NE(found, extracted.end()) << name;
    EXPECT_TRUE(found->second == bytes)
        << name << ": " << found->second.size() << " bytes, not " << bytes.size();
  }
  // Nothing but the entries: no staging or backup file stays behind.
  for (const auto& entry : fs::recursive_directory_iterator(target)) {
    EXPECT_TRUE(entry.is_directory() || entry.is_regular_file()) << entry.path();
  }
}

// Where the target comes from: the token after "extract" whatever it looks
// like, or, without one, a folder beside the installer named after its
// product version, whatever the current directory is.
TEST_F(ExtractModeTest, TargetDirectoryChoice) {
  const Tree tree = {{"Zevrino.exe", Content(3000, 4)}, {"locales/fr.pak", TextBytes("fr")}};
  // The installer sits in a folder of its own on drive C; the runs start in
  // another folder of the prefix.
  const fs::path downloads = prefix_->DriveC() / "zv extract downloads";
  const fs::path work = prefix_->DriveC() / "zv extract cwd";
  const fs::path out_dir = prefix_->DriveC() / "out dir";
  for (const fs::path& dir : {downloads, work, out_dir}) {
    fs::remove_all(dir);
  }
  fs::create_directories(downloads);
  fs::create_directories(work);
  const fs::path installer = downloads / "setup.exe";
  PackTree(tree, installer);

  const fs::path default_dir = downloads / ("zevrino-update-" + std::string(ZV_PRODUCT_VERSION));
  const struct {
    const char* label;
    std::vector<std::string> args;
    fs::path expected;
  } cases[] = {
      {"no directory", {"--extract"}, default_dir},
      {"slash form, no directory", {"/EXTRACT"}, default_dir},
      {"directory with a blank, trailing token ignored",
       {"--extract", "C:\\out dir", "--silent"},
       out_dir},
      {"an option where the directory goes", {"--extract", "--silent"}, work / "--silent"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(c.expected);
    {
      CurrentDirectory cwd(work);
      const ProcessResult result = Run(installer, c.args);
      EXPECT_TRUE(result.ExitedWith(0)) << Describe(result);
    }
    EXPECT_EQ(ReadTree(c.expected), tree) << c.expected;
    fs::remove_all(c.expected);
    // Nothing went anywhere else: the installer's folder holds only itself,
    // the current directory nothing.
    std::vector<std::string> beside;
    for (const auto& entry : fs::directory_iterator(downloads)) {
      beside.push_back(entry.path().filename().u8string());
    }
    EXPECT_EQ(beside, std::vector<std::string>{"setup.exe"});
    EXPECT_TRUE(fs::is_empty(work));
  }
  for (const fs::path& dir : {downloads, work, out_dir}) {
    fs::remove_all(dir);
  }
}

// Extracting over an earlier extraction replaces its files; obsolete files
// under "locales" go (catalogs of languages no longer shipped), everything
// else that the archive does not name stays (the user's own files).
TEST_F(ExtractModeTest, OverAnExistingTreeOnlyObsoleteLocalesGo) {
  const Tree tree = {{"Zevrino.exe", Content(5000, 5)}, {"locales/en-US.pak", TextBytes("new en")}};
  PackTree(tree, PathOf("setup.exe"));
  const fs::path target = PathOf("installed");
  WriteTree(target, {{"Zevrino.exe", TextBytes("old exe")},
                     {"locales/en-US.pak", TextBytes("old en")},
                     {"locales/xx.pak", TextBytes("obsolete")},
                     {"user settings.json", TextBytes("{}")}});

  const ProcessResult result = Run(PathOf("setup.exe"), {"--extract", ToWindowsPath(target)});
  ASSERT_TRUE(result.ExitedWith(0)) << Describe(result);
  Tree expected = tree;
  expected["user settings.json"] = TextBytes("{}");
  EXPECT_EQ(ReadTree(target), expected);
}

// A link at a name the extract writes is never written through (Wine cannot
// remove it apart from its target: 13, the target as it was). A target
// reached through a link is the user's own choice for the user's run, and
// refused to an elevated one.
TEST_F(ExtractModeTest, LinksAreNeverWrittenThroughAndElevatedRunsFollowNone) {
  const Tree tree = {{"Zevrino.exe", Content(5000, 5)}, {"README.txt", TextBytes("readme")}};
  PackTree(tree, PathOf("setup.exe"));
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

// An archive naming a path outside the target is refused as a malformed
// entry even though its payload digest is right (the packer computes it):
// the digest proves only that the payload was not damaged, not who made it.
// The packer itself refuses such names, so the archive is built here.
TEST_F(ExtractModeTest, ArchiveThatEscapesTheTargetWritesNothing) {
  for (const std::string& hostile : {"../escaped.txt", "a/../../escaped.txt"}) {
    SCOPED_TRACE(hostile);
    // A harmless entry first so that a half-done extraction would show.
    const fs::path installer = PathOf("hostile.exe");
    std::string error;
    ASSERT_TRUE(WriteInstallerWithArchive(
        ArchiveOf({{"good.txt", TextBytes("harmless")}, {hostile, TextBytes("escaped")}}),
        installer, &error))
        << error;

    const fs::path outer = PathOf("outer");
    const fs::path target = outer / "target";
    fs::create_directories(target);
    const ProcessResult result = Run(installer, {"--extract", ToWindowsPath(target)});
    EXPECT_TRUE(result.ExitedWith(8)) << Describe(result);
    EXPECT_EQ(Names(ReadTree(outer)), std::vector<std::string>{});
    fs::remove_all(outer);
  }
}

}  // namespace
}  // namespace zevrino::e2e
