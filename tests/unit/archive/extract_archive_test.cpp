// ExtractArchive on real files through the Windows file system (run under Wine).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/result_code.h"
#include "payload/extract_archive.h"
#include "payload/module_version_win.h"
#include "tests/support/archive_builder.h"
#include "tests/support/scratch_directory.h"

namespace zevrino::desktop::installer {
namespace {

namespace fs = std::filesystem;
using testing::AddEntry;
using testing::ArchiveHeader;
using testing::Bytes;
using testing::PutVarint;
using testing::ReaderOver;
using testing::ReadTree;
using testing::StoredBody;
using testing::TextBytes;
using testing::Tree;

class ExtractArchiveTest : public ::testing::Test {
 protected:
  ResultCode Extract(const std::vector<std::uint8_t>& archive) {
    const std::vector<std::uint8_t> body = StoredBody(archive);
    return ExtractArchive(target_.wstring(), ReaderOver(body));
  }
  void WriteTree(const Tree& tree) { testing::WriteTree(target_, tree); }

  testing::ScratchDirectory root_{"zv-extract"};
  fs::path target_ = root_ / "target";
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
      {"bin/tools/helper.dll", Bytes(70000, 0xE8)},
      {"locales/de.pak", TextBytes("Deutsch")},
      {"Zevrino.exe", TextBytes("MZ\x90")},
      {"empty.dat", {}},
      {"\xC3\xA9t\xC3\xA9/\xE6\x97\xA5\xE6\x9C\xAC.txt", TextBytes("utf-8 names")},
  };
  EXPECT_EQ(ReadTree(target_), expected);
}

TEST_F(ExtractArchiveTest, UpgradeRemovesObsoleteLocalesOnly) {
  WriteTree({{"Zevrino.exe", TextBytes("old exe")},
             {"plugin.dll", TextBytes("kept: outside locales")},
             {"locales/fr.pak", TextBytes("obsolete")},
             {"locales/de.pak", TextBytes("old de")}});
  std::vector<std::uint8_t> archive = ArchiveHeader();
  AddEntry("locales/de.pak", "new de", &archive);
  AddEntry("Zevrino.exe", "new exe", &archive);

  ASSERT_EQ(Extract(archive), kSuccess);
  const Tree expected = {{"Zevrino.exe", TextBytes("new exe")},
                         {"plugin.dll", TextBytes("kept: outside locales")},
                         {"locales/de.pak", TextBytes("new de")}};
  EXPECT_EQ(ReadTree(target_), expected);
}

TEST_F(ExtractArchiveTest, EmptyArchiveStillRemovesObsoleteLocales) {
  WriteTree({{"Zevrino.exe", TextBytes("exe")}, {"locales/fr.pak", TextBytes("obsolete")}});
  ASSERT_EQ(Extract(ArchiveHeader()), kSuccess);
  EXPECT_EQ(ReadTree(target_), (Tree{{"Zevrino.exe", TextBytes("exe")}}));
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
  const Tree old_install = {{"Zevrino.exe", TextBytes("old exe")},
                            {"locales/fr.pak", TextBytes("old fr")}};
  // Which names and entries are refused is archive_reader_test's; here, that
  // a refusal on real files leaves the old installation and nothing beside it.
  std::vector<std::vector<std::uint8_t>> tails;
  for (const char* name : {"../escaped.txt", "C:/Windows/escaped.txt"}) {
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
  for (const auto& tail : tails) {
    WriteTree(old_install);
    std::vector<std::uint8_t> archive = ArchiveHeader();
    AddEntry("Zevrino.exe", "new exe", &archive);
    AddEntry("new.dll", "new", &archive);
    archive.insert(archive.end(), tail.begin(), tail.end());

    EXPECT_EQ(Extract(archive), kArchiveEntryMalformed);
    EXPECT_EQ(ReadTree(target_), old_install) << "the old installation must stay whole";
    // Nothing may appear beside the target either (the hostile names aimed there).
    for (const auto& entry : fs::directory_iterator(root_.path())) {
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
  const Tree old_install = {{"Zevrino.exe", TextBytes("old exe")},
                            {"bin/f3.dll", TextBytes("old f3")}};
  WriteTree(old_install);

  EXPECT_EQ(ExtractArchive(target_.wstring(), ReaderOver(truncated)), kPayloadDecodeFailed);
  EXPECT_EQ(ReadTree(target_), old_install);
  fs::remove_all(target_);
  EXPECT_EQ(ExtractArchive(target_.wstring(), ReaderOver(truncated)), kPayloadDecodeFailed);
  EXPECT_FALSE(fs::exists(target_)) << "the directory made for staging is gone";

  ASSERT_EQ(ExtractArchive(target_.wstring(), ReaderOver(body)), kSuccess);
  Tree expected;
  for (const auto& [name, content] : files) {
    expected[name] = TextBytes(content);
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
