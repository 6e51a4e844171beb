// The packer's side of the archive: which folders it accepts, the order it
// writes, and that what it writes reads back. Host build: the refusals need
// file names and links that only a POSIX file system can make.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "payload/archive_reader.h"
#include "payload/archive_writer.h"
#include "payload/sha1.h"
#include "tests/support/scratch_directory.h"

namespace zevrino::desktop::installer {
namespace {

namespace fs = std::filesystem;

class ArchiveWriterTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(app_); }

  void Write(const std::string& name, const std::string& content) {
    testing::WriteText(app_ / name, content);
  }

  // The refusal for the current app folder; empty when it was accepted.
  std::string Refusal() {
    std::vector<ArchiveFile> files;
    std::string error;
    return CollectArchiveFiles(app_.string(), &files, &error) ? std::string() : error;
  }

  testing::ScratchDirectory root_{"zv-archive-writer"};
  fs::path app_ = root_ / "app";
};

TEST_F(ArchiveWriterTest, WritesFoldersFirstInByteOrderAndReadsBack) {
  Write("Zevrino.exe", "exe");
  Write("b.txt", "");
  Write("locales/fr.pak", "fr");
  Write("locales/de.pak", "de");
  Write("bin/tools/x.dll", std::string(3000, '\xE8'));
  fs::create_directory_symlink(app_ / "bin", app_ / "inner-link");  // stays inside: followed

  std::vector<ArchiveFile> files;
  std::string error;
  ASSERT_TRUE(CollectArchiveFiles(app_.string(), &files, &error)) << error;
  std::vector<std::string> names;
  for (const ArchiveFile& file : files)
    names.push_back(file.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"bin/tools/x.dll", "inner-link/tools/x.dll", "locales/de.pak",
                                      "locales/fr.pak", "Zevrino.exe", "b.txt"}));

  std::vector<std::uint8_t> archive;
  ASSERT_TRUE(WriteArchive(files, &archive, &error)) << error;
  PayloadReader reader(archive.data(), archive.data() + archive.size());
  std::uint32_t version = 0;
  std::uint8_t digest[kArchiveDigestSize];
  ASSERT_TRUE(reader.ReadVarint(&version));
  ASSERT_TRUE(reader.ReadBytes(digest, sizeof digest));
  EXPECT_EQ(version, kArchiveVersion);
  std::uint8_t expected[kArchiveDigestSize];
  Sha1Digest(reader.position(), reader.Remaining(), expected);
  EXPECT_EQ(std::vector<std::uint8_t>(digest, digest + 20),
            std::vector<std::uint8_t>(expected, expected + 20));

  std::wstring name;
  PayloadReader content;
  ErrorCode read_error;
  std::vector<std::pair<std::wstring, std::string>> entries;
  while (NextArchiveEntry(&reader, &name, &content, read_error)) {
    entries.emplace_back(
        name, std::string(reinterpret_cast<const char*>(content.position()), content.Remaining()));
  }
  EXPECT_FALSE(read_error);
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0],
            (std::pair<std::wstring, std::string>{L"bin/tools/x.dll", std::string(3000, '\xE8')}));
  EXPECT_EQ(entries[5], (std::pair<std::wstring, std::string>{L"b.txt", ""}));

  // The same folder always gives the same bytes.
  std::vector<std::uint8_t> again;
  ASSERT_TRUE(WriteArchive(files, &again, &error));
  EXPECT_EQ(again, archive);
}

TEST_F(ArchiveWriterTest, RefusesWhatTheFormatOrTheInstallerCannotHold) {
  std::vector<ArchiveFile> files;
  std::string error;
  EXPECT_FALSE(CollectArchiveFiles("", &files, &error));
  EXPECT_NE(error.find("empty"), std::string::npos) << error;
  EXPECT_FALSE(CollectArchiveFiles((root_ / "missing").string(), &files, &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;

  struct Case {
    const char* what;
    std::string name;         // made inside the app folder
    const char* reason_part;  // expected in the message
  } cases[] = {
      {"name of 256 bytes", std::string(100, 'd') + "/" + std::string(155, 'f'), "255 bytes"},
      {"invalid UTF-8", "caf\xE9.txt", "UTF-8"},
      {"device name", "locales/NUL.pak", "cannot be installed"},
      {"trailing dot", "readme.", "cannot be installed"},
  };
  for (const Case& c : cases) {
    fs::remove_all(app_);
    fs::create_directories(app_);
    Write("ok.txt", "fine");
    Write(c.name, "x");
    const std::string refusal = Refusal();
    EXPECT_NE(refusal.find(c.reason_part), std::string::npos) << c.what << ": " << refusal;
  }

  // 255 bytes is still fine.
  fs::remove_all(app_);
  fs::create_directories(app_);
  Write(std::string(100, 'd') + "/" + std::string(154, 'f'), "x");
  EXPECT_EQ(Refusal(), "");
}

TEST_F(ArchiveWriterTest, RefusesLinksLeavingTheFolderAndHugeFiles) {
  Write("ok.txt", "fine");
  testing::WriteText(root_ / "outside.txt", "secret");
  fs::create_symlink(root_ / "outside.txt", app_ / "leak.txt");
  EXPECT_NE(Refusal().find("outside"), std::string::npos) << Refusal();
  fs::remove(app_ / "leak.txt");

  fs::create_directory_symlink("/etc", app_ / "etc");
  EXPECT_NE(Refusal().find("outside"), std::string::npos) << Refusal();
  fs::remove(app_ / "etc");
  EXPECT_EQ(Refusal(), "");

  // A sparse file: 4 GiB cannot be described by the 32-bit content length;
  // one byte less still can.
  const fs::path huge = app_ / "huge.bin";
  std::ofstream(huge).close();
  fs::resize_file(huge, 0xFFFFFFFFull);
  EXPECT_EQ(Refusal(), "");
  fs::resize_file(huge, 0x100000000ull);
  EXPECT_NE(Refusal().find("4 GiB"), std::string::npos) << Refusal();
}

}  // namespace
}  // namespace zevrino::desktop::installer
