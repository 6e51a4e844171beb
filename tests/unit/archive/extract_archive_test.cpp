// ExtractArchive on real files through the Windows file system (run under Wine).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "installer/result_code.h"
#include "payload/extract_archive.h"
#include "payload/module_version_win.h"
#include "tests/unit/archive/archive_builder.h"

namespace zevrino::desktop::installer {
namespace {

namespace fs = std::filesystem;
using testing::AddEntry;
using testing::ArchiveHeader;
using testing::PutVarint;
using testing::ReaderOver;
using testing::StoredBody;

using Tree = std::map<std::wstring, std::string>;  // relative path -> bytes

class ExtractArchiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = fs::temp_directory_path() / (std::string("zv-extract-") + info->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
    target_ = root_ / "target";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
    EXPECT_FALSE(ec) << "a handle leaked: " << ec.message();
  }

  ResultCode Extract(const std::vector<std::uint8_t>& archive) {
    const std::vector<std::uint8_t> body = StoredBody(archive);
    return ExtractArchive(target_.wstring(), ReaderOver(body));
  }

  static Tree ReadTree(const fs::path& directory) {
    Tree tree;
    if (!fs::exists(directory))
      return tree;
    for (const auto& entry : fs::recursive_directory_iterator(directory)) {
      if (!entry.is_regular_file())
        continue;
      std::ifstream in(entry.path(), std::ios::binary);
      tree[fs::relative(entry.path(), directory).wstring()] =
          std::string(std::istreambuf_iterator<char>(in), {});
    }
    return tree;
  }

  void WriteTree(const Tree& tree) {
    for (const auto& [name, content] : tree) {
      const fs::path path = target_ / name;
      fs::create_directories(path.parent_path());
      std::ofstream(path, std::ios::binary) << content;
    }
  }

  fs::path root_;
  fs::path target_;
};

TEST_F(ExtractArchiveTest, LaysDownEveryEntryIntoAMissingDirectory) {
  std::vector<std::uint8_t> archive = ArchiveHeader();
  AddEntry("bin/tools/helper.dll", std::string(70000, '\xE8'), &archive);
  AddEntry("locales/de.pak", "Deutsch", &archive);
  AddEntry("Zevrino.exe", "MZ\x90", &archive);
  AddEntry("empty.dat", "", &archive);
  AddEntry("\xC3\xA9t\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt", "utf-8 names", &archive);

  ASSERT_EQ(Extract(archive), kSuccess);
  const Tree expected = {
      {L"bin\\tools\\helper.dll", std::string(70000, '\xE8')},
      {L"locales\\de.pak", "Deutsch"},
      {L"Zevrino.exe", "MZ\x90"},
      {L"empty.dat", ""},
      {L"\u00e9t\u00e9\\\u65e5\u672c.txt", "utf-8 names"},
  };
  EXPECT_EQ(ReadTree(target_), expected);
}

TEST_F(ExtractArchiveTest, UpgradeRemovesObsoleteLocalesOnly) {
  WriteTree({{L"Zevrino.exe", "old exe"},
             {L"plugin.dll", "kept: outside locales"},
             {L"locales\\fr.pak", "obsolete"},
             {L"locales\\de.pak", "old de"}});
  std::vector<std::uint8_t> archive = ArchiveHeader();
  AddEntry("locales/de.pak", "new de", &archive);
  AddEntry("Zevrino.exe", "new exe", &archive);

  ASSERT_EQ(Extract(archive), kSuccess);
  const Tree expected = {{L"Zevrino.exe", "new exe"},
                         {L"plugin.dll", "kept: outside locales"},
                         {L"locales\\de.pak", "new de"}};
  EXPECT_EQ(ReadTree(target_), expected);
}

TEST_F(ExtractArchiveTest, EmptyArchiveStillRemovesObsoleteLocales) {
  WriteTree({{L"Zevrino.exe", "exe"}, {L"locales\\fr.pak", "obsolete"}});
  ASSERT_EQ(Extract(ArchiveHeader()), kSuccess);
  EXPECT_EQ(ReadTree(target_), (Tree{{L"Zevrino.exe", "exe"}}));
}

TEST_F(ExtractArchiveTest, UnreadableOrUnknownArchiveHeaders) {
  struct Case {
    const char* what;
    std::vector<std::uint8_t> archive;
    ResultCode expected;
  } cases[] = {
      {"version 512", ArchiveHeader(512), kPayloadNotFound},
      {"version 514", ArchiveHeader(514), kPayloadNotFound},
      {"ends inside the version", {0x81}, kPayloadHeaderUnreadable},
      {"ends inside the digest", {0x81, 0x04, 1, 2, 3}, kPayloadHeaderUnreadable},
      {"empty body", {}, kPayloadHeaderUnreadable},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Extract(c.archive), c.expected) << c.what;
    EXPECT_FALSE(fs::exists(target_)) << c.what;
  }
}

TEST_F(ExtractArchiveTest, MalformedOrHostileEntryCommitsNothing) {
  const Tree old_install = {{L"Zevrino.exe", "old exe"}, {L"locales\\fr.pak", "old fr"}};
  std::vector<std::vector<std::uint8_t>> tails;
  for (const char* name : {"../escaped.txt", "C:/Windows/escaped.txt", "a/../../escaped.txt",
                           "\\escaped.txt", "file.txt:stream", "CON", "a//b", "/abs.txt"}) {
    std::vector<std::uint8_t> tail;
    AddEntry(name, "hostile", &tail);
    tails.push_back(tail);
  }
  std::vector<std::uint8_t> beyond;
  PutVarint(3, &beyond);
  beyond.insert(beyond.end(), {'b', 'a', 'd'});
  PutVarint(1000, &beyond);
  beyond.insert(beyond.end(), 10, 'x');
  tails.push_back(beyond);
  tails.push_back({0, 0});  // name length 0
  std::vector<std::uint8_t> long_name;
  PutVarint(256, &long_name);
  long_name.insert(long_name.end(), 256, 'y');
  PutVarint(0, &long_name);
  tails.push_back(long_name);

  for (const auto& tail : tails) {
    WriteTree(old_install);
    std::vector<std::uint8_t> archive = ArchiveHeader();
    AddEntry("Zevrino.exe", "new exe", &archive);
    AddEntry("new.dll", "new", &archive);
    archive.insert(archive.end(), tail.begin(), tail.end());

    EXPECT_EQ(Extract(archive), kArchiveEntryMalformed);
    EXPECT_EQ(ReadTree(target_), old_install) << "the old installation must stay whole";
    // Nothing may appear beside the target either (the hostile names aimed there).
    for (const auto& entry : fs::directory_iterator(root_)) {
      EXPECT_EQ(entry.path().filename(), "target");
    }
    EXPECT_FALSE(fs::exists("C:\\Windows\\escaped.txt"));
  }
}

// The body decodes on a second thread while entries are written to real
// files: every file exact wherever the decoder's slices end; a body that
// fails in its last megabyte, when most files are already staged, leaves
// the old installation and nothing else.
TEST_F(ExtractArchiveTest, CompressedBodyIsAllOrNothingOnRealFiles) {
  std::vector<std::uint8_t> archive;
  const testing::NamedFiles files = testing::FilesAroundSliceBoundaries(&archive);
  const std::vector<std::uint8_t> body = testing::CompressedBody(archive);
  const std::vector<std::uint8_t> truncated(body.begin(), body.end() - 4096);
  const Tree old_install = {{L"Zevrino.exe", "old exe"}, {L"bin\\f3.dll", "old f3"}};
  WriteTree(old_install);

  EXPECT_EQ(ExtractArchive(target_.wstring(), ReaderOver(truncated)), kPayloadDecodeFailed);
  EXPECT_EQ(ReadTree(target_), old_install);
  fs::remove_all(target_);
  EXPECT_EQ(ExtractArchive(target_.wstring(), ReaderOver(truncated)), kPayloadDecodeFailed);
  EXPECT_FALSE(fs::exists(target_)) << "the directory made for staging is gone";

  ASSERT_EQ(ExtractArchive(target_.wstring(), ReaderOver(body)), kSuccess);
  Tree expected;
  for (const auto& [name, content] : files) {
    expected[fs::u8path(name).make_preferred().wstring()] = content;
  }
  EXPECT_TRUE(ReadTree(target_) == expected);
}

TEST(DefaultExtractDirectory, IsNamedWithTheProductVersionBesideTheProgram) {
  const std::wstring module = GetModulePath();
  ASSERT_FALSE(module.empty());
  const std::wstring directory = module.substr(0, module.find_last_of(L"\\/"));
  // This test program carries no version resource, so the name has no version.
  EXPECT_EQ(GetOwnProductVersion(), "");
  EXPECT_EQ(DefaultExtractDirectory(), directory + L"\\zevrino-update-");
}

}  // namespace
}  // namespace zevrino::desktop::installer
