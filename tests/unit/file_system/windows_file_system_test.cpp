// WindowsFileSystem on real files in a scratch directory under Wine (or
// Windows). Where Wine's behaviour differs from Windows the test says so.

#include "files/windows_file_system_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/links_win.h"
#include "tests/support/log_capture.h"
#include "tests/support/process_win.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Exists;
using testing::HeldFile;
using testing::IsDirectory;
using testing::LogCapture;
using testing::ReadText;
using testing::ScratchDirectory;
using testing::ToUtf8;
using testing::WriteText;

ByteRange Bytes(const std::string& text) {
  return ByteRange{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

class WindowsFileSystemTest : public ::testing::Test {
 protected:
  std::unique_ptr<FileSystem> fs_ = CreateFileSystem();
  ScratchDirectory dir_;
  ErrorCode error_ = ErrorCode::System(-1);
};

// A drive letter that is not mapped, or 0 when all are.
wchar_t UnmappedDrive() {
  const DWORD drives = ::GetLogicalDrives();
  for (int letter = 'Q' - 'A'; letter < 26; ++letter) {
    if ((drives & (1u << letter)) == 0) {
      return static_cast<wchar_t>(L'A' + letter);
    }
  }
  return 0;
}

TEST_F(WindowsFileSystemTest, CreateDirectoriesCreatesMissingAncestorsAndToleratesExisting) {
  const std::wstring deep = dir_ / L"a\\b/c\\\\d\\";
  EXPECT_TRUE(fs_->CreateDirectories(deep, error_));
  EXPECT_EQ(error_, ErrorCode::System(0));
  EXPECT_TRUE(IsDirectory(dir_ / L"a\\b\\c\\d"));

  // Already there: success, but nothing was created by this call.
  EXPECT_FALSE(fs_->CreateDirectories(dir_ / L"a\\b", error_));
  EXPECT_EQ(error_, ErrorCode::System(0));

  // Only the last element missing.
  EXPECT_TRUE(fs_->CreateDirectories(dir_ / L"a\\b\\e", error_));
  EXPECT_EQ(error_, ErrorCode::System(0));

  EXPECT_FALSE(fs_->CreateDirectories(L"", error_));
  EXPECT_EQ(error_, ErrorCode::System(ERROR_PATH_NOT_FOUND));
}

TEST_F(WindowsFileSystemTest, CreateDirectoriesReportsTheTellingError) {
  WriteText(dir_ / L"file", "x");
  struct Case {
    std::wstring path;
    std::int32_t expected;
    const char* why;
  };
  std::vector<Case> cases = {
      {dir_ / L"file", ERROR_ALREADY_EXISTS, "the last element is a file"},
      // The file fails with 183, the element below it with 3; 183 is the
      // telling error and wins over the later "path not found".
      {dir_ / L"file\\sub\\deeper", ERROR_ALREADY_EXISTS, "an ancestor is a file"},
      {dir_ / L"bad|name\\sub", ERROR_INVALID_NAME, "an invalid element"},
  };
  if (const wchar_t drive = UnmappedDrive(); drive != 0) {
    // Only consequential errors (2 for the drive, then 3 below it): the last
    // prefix's own error is reported.
    cases.push_back(
        {std::wstring(1, drive) + L":\\zv\\sub", ERROR_PATH_NOT_FOUND, "no such drive"});
  }
  for (const Case& c : cases) {
    EXPECT_FALSE(fs_->CreateDirectories(c.path, error_)) << c.why;
    EXPECT_EQ(error_, ErrorCode::System(c.expected)) << c.why << ": got " << error_.value();
  }
  EXPECT_FALSE(Exists(dir_ / L"file\\sub"));
}

TEST_F(WindowsFileSystemTest, WriteNewFileCreatesOnlyNewFiles) {
  const std::wstring path = dir_ / L"new.bin";
  std::string content(100000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) {
    content[i] = static_cast<char>(i * 7);
  }
  EXPECT_TRUE(fs_->WriteNewFile(path, Bytes(content), error_));
  EXPECT_EQ(error_, ErrorCode::Installer(ResultCode{0}));
  EXPECT_EQ(ReadText(path), content);

  // A taken name is never written through.
  EXPECT_FALSE(fs_->WriteNewFile(path, Bytes("short"), error_));
  EXPECT_EQ(error_, ErrorCode::Installer(ResultCode{13}));
  EXPECT_EQ(ReadText(path), content);

  const std::wstring empty = dir_ / L"empty.bin";
  EXPECT_TRUE(fs_->WriteNewFile(empty, ByteRange{nullptr, 0}, error_));
  EXPECT_EQ(error_, ErrorCode::Installer(ResultCode{0}));
  EXPECT_TRUE(Exists(empty));
  EXPECT_EQ(ReadText(empty), "");
}

TEST_F(WindowsFileSystemTest, WriteNewFileFailures) {
  // Taken, and held open by someone without write sharing: content unchanged.
  const std::wstring held_path = dir_ / L"held.txt";
  WriteText(held_path, "old");
  {
    HeldFile held(held_path, FILE_SHARE_READ);
    EXPECT_FALSE(fs_->WriteNewFile(held_path, Bytes("new"), error_));
    EXPECT_EQ(error_, ErrorCode::Installer(ResultCode{13}));
  }
  EXPECT_EQ(ReadText(held_path), "old");

  EXPECT_FALSE(fs_->WriteNewFile(dir_ / L"missing\\f.txt", Bytes("x"), error_));
  EXPECT_EQ(error_, ErrorCode::Installer(ResultCode{13}));
  EXPECT_FALSE(Exists(dir_ / L"missing"));

  // A range that one write cannot hold is refused before the existing file is
  // truncated (the bytes behind the pointer are never read).
  const char small[1] = {'x'};
  EXPECT_FALSE(fs_->WriteNewFile(
      held_path, ByteRange{reinterpret_cast<const std::uint8_t*>(small), 1ull << 32}, error_));
  EXPECT_EQ(error_, ErrorCode::Installer(ResultCode{12}));
  EXPECT_EQ(ReadText(held_path), "old");
}

TEST_F(WindowsFileSystemTest, RemoveHandlesFilesDirectoriesAndAbsence) {
  const std::wstring file = dir_ / L"f.txt";
  const std::wstring read_only = dir_ / L"ro.txt";
  const std::wstring empty_dir = dir_ / L"empty";
  WriteText(file, "x");
  WriteText(read_only, "x");
  ASSERT_TRUE(::SetFileAttributesW(read_only.c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(::CreateDirectoryW(empty_dir.c_str(), nullptr));

  for (const std::wstring& path : {file, read_only, empty_dir}) {
    EXPECT_TRUE(fs_->Remove(path, error_)) << ToUtf8(path);
    EXPECT_EQ(error_, ErrorCode::System(0));
    EXPECT_FALSE(Exists(path)) << ToUtf8(path);
  }

  // Missing: nothing removed, no error.
  EXPECT_FALSE(fs_->Remove(file, error_));
  EXPECT_EQ(error_, ErrorCode::System(0));
  EXPECT_FALSE(fs_->Remove(dir_ / L"no\\such\\file", error_));
  EXPECT_EQ(error_, ErrorCode::System(0));

  const std::wstring full_dir = dir_ / L"full";
  ASSERT_TRUE(::CreateDirectoryW(full_dir.c_str(), nullptr));
  WriteText(full_dir + L"\\inside", "x");
  EXPECT_FALSE(fs_->Remove(full_dir, error_));
  EXPECT_EQ(error_, ErrorCode::System(ERROR_DIR_NOT_EMPTY));
}

TEST_F(WindowsFileSystemTest, RemoveOfAHeldReadOnlyFileFailsAndKeepsItReadOnly) {
  const std::wstring path = dir_ / L"held.txt";
  WriteText(path, "x");
  ASSERT_TRUE(::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  {
    HeldFile held(path, FILE_SHARE_READ);
    EXPECT_FALSE(fs_->Remove(path, error_));
    EXPECT_EQ(error_, ErrorCode::System(ERROR_SHARING_VIOLATION));
  }
  EXPECT_TRUE(Exists(path));
  EXPECT_NE(::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

// A file that can go goes silently. One that cannot be removed now, one that
// does not exist and an empty path are logged with Remove's code and then
// scheduled. Scheduling needs administrative rights on Windows; Wine gives
// every process an administrator's token and always succeeds, so either
// outcome is accepted there, each reported consistently. An empty path can be
// scheduled on neither.
TEST_F(WindowsFileSystemTest, RemoveOrDelayUntilRebootRemovesOrSchedules) {
  const std::wstring free_path = dir_ / L"f.txt";
  const std::wstring held_path = dir_ / L"held.txt";
  WriteText(free_path, "x");
  WriteText(held_path, "x");
  HeldFile held(held_path, FILE_SHARE_READ);
  const std::pair<std::wstring, int> cases[] = {
      {free_path, -1}, {held_path, ERROR_SHARING_VIOLATION}, {dir_ / L"missing.txt", 0}, {L"", 0}};
  for (const auto& [path, remove_code] : cases) {
    const std::string shown = ToUtf8(path);
    LogCapture log;
    const bool done = fs_->RemoveOrDelayUntilReboot(path, error_);
    if (remove_code < 0) {
      EXPECT_TRUE(done);
      EXPECT_EQ(error_.value(), 0);
      EXPECT_FALSE(Exists(path));
      EXPECT_EQ(log.Text(), "");
      continue;
    }
    EXPECT_EQ(
        log.CountLines('E', 61,
                       "Failed to remove '" + shown + "' (code: " + std::to_string(remove_code) +
                           ")! Trying to delay remove until reboot..."),
        1)
        << log.Text();
    EXPECT_EQ(error_, ErrorCode::Installer(done ? kSuccess : kFileInUse)) << shown;
    EXPECT_EQ(log.Count("E [/f:71 "), done ? 0 : 1) << log.Text();
    EXPECT_EQ(log.Count("Failed to delay remove of '" + shown + "' until reboot (code: "),
              done ? 0 : 1);
    EXPECT_FALSE(done && path.empty()) << "an empty path was scheduled";
  }
}

// What an install, an update and its rollback do, on a file whose full path
// passes 330 units; the free space asked from below folders not made yet.
TEST_F(WindowsFileSystemTest, PathsPastMaxPathWork) {
  std::wstring deep = dir_.path().wstring();
  while (deep.size() < 330) {
    deep += L"\\node_modules-\u00e9";
  }
  const std::wstring file = deep + L"\\addon.node", parked = deep + L"\\~TMP_1_2_~";
  std::uint64_t free_bytes = 0;
  EXPECT_TRUE(fs_->FreeSpaceOnVolume(file, free_bytes, error_) && free_bytes > 0) << error_.value();
  fs_->CreateDirectories(deep, error_);
  ASSERT_EQ(error_, ErrorCode::System(0));
  ASSERT_TRUE(fs_->WriteNewFile(file, {reinterpret_cast<const std::uint8_t*>("new"), 3}, error_));
  EXPECT_TRUE(fs_->Rename(file, parked, error_) && fs_->Rename(parked, file, error_));
  std::vector<std::wstring> found;
  fs_->ForEachFileRecursive(
      dir_.path(), [&](const std::wstring& p) { found.push_back(p); }, error_);
  EXPECT_EQ(found, std::vector<std::wstring>{file});
  EXPECT_TRUE(fs_->IsRegularFile(file, error_) && fs_->Remove(file, error_));
  EXPECT_FALSE(
      fs_->FreeSpaceOnVolume(std::wstring(1, UnmappedDrive()) + L":\\x", free_bytes, error_));
}

TEST_F(WindowsFileSystemTest, RenameMovesAndReplacesSilently) {
  const std::wstring source = dir_ / L"src.txt";
  const std::wstring destination = dir_ / L"dst.txt";
  WriteText(source, "new");
  WriteText(destination, "old");
  LogCapture log;
  EXPECT_TRUE(fs_->Rename(source, destination, error_));
  EXPECT_EQ(error_, ErrorCode::System(0));
  EXPECT_FALSE(Exists(source));
  EXPECT_EQ(ReadText(destination), "new");

  // Into another directory.
  ASSERT_TRUE(::CreateDirectoryW((dir_ / L"sub").c_str(), nullptr));
  EXPECT_TRUE(fs_->Rename(destination, dir_ / L"sub\\moved.txt", error_));
  EXPECT_EQ(ReadText(dir_ / L"sub\\moved.txt"), "new");
  EXPECT_EQ(log.Text(), "");
}

TEST_F(WindowsFileSystemTest, RenameOntoAHeldDestinationFailsAtTheCopy) {
  // Non-ASCII names: these log lines carry UTF-8 paths.
  const std::wstring source = dir_ / L"Z\u00fcrich-\u65e5\u672c.txt";
  const std::wstring destination = dir_ / L"dst.txt";
  WriteText(source, "new");
  WriteText(destination, "old");
  LogCapture log;
  {
    HeldFile held(destination, FILE_SHARE_READ);
    EXPECT_FALSE(fs_->Rename(source, destination, error_));
  }
  EXPECT_EQ(error_, ErrorCode::System(ERROR_FILE_EXISTS));
  EXPECT_EQ(ReadText(source), "new");
  EXPECT_EQ(ReadText(destination), "old");

  const std::string from = ToUtf8(source);
  const std::string to = ToUtf8(destination);
  // The move's own error is ERROR_ACCESS_DENIED on Windows and under Wine.
  EXPECT_EQ(log.CountLines('W', 89,
                           "Failed to rename '" + from + "' to '" + to +
                               "' (code: 5)! Trying copy and remove..."),
            1)
      << log.Text();
  EXPECT_EQ(log.CountLines('E', 96, "Failed to copy '" + from + "' to '" + to + "' (code: 80)!"), 1)
      << log.Text();
  EXPECT_EQ(log.Count("[/f:102 "), 0);
}

TEST_F(WindowsFileSystemTest, RenameOfAHeldSourceCopiesButKeepsTheSource) {
  const std::wstring source = dir_ / L"src.txt";
  const std::wstring destination = dir_ / L"dst.txt";
  WriteText(source, "content");
  LogCapture log;
  {
    // Readable by others, but neither movable nor deletable.
    HeldFile held(source, FILE_SHARE_READ);
    EXPECT_FALSE(fs_->Rename(source, destination, error_));
  }
  EXPECT_EQ(error_, ErrorCode::System(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(ReadText(source), "content");
  EXPECT_EQ(ReadText(destination), "content");
  EXPECT_EQ(log.Count("W [/f:89 "), 1) << log.Text();
  EXPECT_EQ(log.Count("[/f:96 "), 0) << log.Text();
  EXPECT_EQ(log.CountLines('E', 102, "Failed to remove '" + ToUtf8(source) + "' (code: 32)!"), 1)
      << log.Text();
}

TEST_F(WindowsFileSystemTest, RenameOfAMissingSourceReportsTheCopyError) {
  LogCapture log;
  EXPECT_FALSE(fs_->Rename(dir_ / L"none", dir_ / L"dst", error_));
  EXPECT_EQ(error_, ErrorCode::System(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(log.Count("[/f:89 "), 1);
  EXPECT_EQ(log.Count("E [/f:96 "), 1);
  EXPECT_FALSE(Exists(dir_ / L"dst"));
}

TEST_F(WindowsFileSystemTest, IsRegularFileClassifiesPaths) {
  WriteText(dir_ / L"f.txt", "x");
  ASSERT_TRUE(::CreateDirectoryW((dir_ / L"d").c_str(), nullptr));
  struct Case {
    std::wstring path;
    bool regular;
    std::int32_t error;
  };
  const Case cases[] = {
      {dir_ / L"f.txt", true, 0},
      {dir_ / L"d", false, 0},
      {dir_ / L"none", false, ERROR_FILE_NOT_FOUND},
      {dir_ / L"none\\f.txt", false, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fs_->IsRegularFile(c.path, error_), c.regular) << ToUtf8(c.path);
    EXPECT_EQ(error_, ErrorCode::System(c.error)) << ToUtf8(c.path);
  }
  {
    HeldFile held(dir_ / L"f.txt", 0);  // exclusively held files are still classified
    EXPECT_TRUE(fs_->IsRegularFile(dir_ / L"f.txt", error_));
  }
  if (testing::MakeDirectoryLink(dir_ / L"dlink", dir_ / L"d")) {
    EXPECT_FALSE(fs_->IsRegularFile(dir_ / L"dlink", error_));
    EXPECT_EQ(error_, ErrorCode::System(0));
  }
  if (testing::MakeFileLink(dir_ / L"flink", dir_ / L"f.txt")) {
    EXPECT_TRUE(fs_->IsRegularFile(dir_ / L"flink", error_));
    EXPECT_EQ(error_, ErrorCode::System(0));
  }
}

std::vector<std::wstring> Collect(FileSystem& fs, const std::wstring& directory, bool recursive,
                                  ErrorCode& error, bool* result = nullptr) {
  std::vector<std::wstring> files;
  const FileCallback callback = [&files](const std::wstring& path) { files.push_back(path); };
  const bool ok = recursive ? fs.ForEachFileRecursive(directory, callback, error)
                            : fs.ForEachFile(directory, callback, error);
  if (result != nullptr) {
    *result = ok;
  }
  std::sort(files.begin(), files.end());
  return files;
}

class DirectoryWalkTest : public WindowsFileSystemTest {
 protected:
  void SetUp() override {
    // root\a.txt, root\b.bin, root\sub\c.txt, root\sub\deeper\d.txt, root\empty
    for (const wchar_t* directory : {L"sub", L"sub\\deeper", L"empty", L"outside"}) {
      ASSERT_TRUE(::CreateDirectoryW((dir_ / directory).c_str(), nullptr));
    }
    for (const wchar_t* file :
         {L"a.txt", L"b.bin", L"sub\\c.txt", L"sub\\deeper\\d.txt", L"outside\\never.txt"}) {
      WriteText(dir_ / file, "x");
    }
  }
};

TEST_F(DirectoryWalkTest, ForEachFileReportsOnlyTheFilesDirectlyInside) {
  using List = std::vector<std::wstring>;
  const List expected = {dir_ / L"a.txt", dir_ / L"b.bin"};
  // A trailing separator on the directory does not double the separator.
  bool ok = false;
  const List files = Collect(*fs_, dir_.path().wstring() + L"\\", false, error_, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(files, expected);
}

TEST_F(DirectoryWalkTest, ForEachFileRecursiveDescendsIntoRealDirectoriesOnly) {
  const bool linked = testing::MakeDirectoryLink(dir_ / L"sub\\link", dir_ / L"outside");
  bool ok = false;
  const std::vector<std::wstring> files = Collect(*fs_, dir_ / L"sub", true, error_, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(error_, ErrorCode::System(0));
  EXPECT_EQ(files, (std::vector<std::wstring>{dir_ / L"sub\\c.txt", dir_ / L"sub\\deeper\\d.txt"}));
  if (!linked) {
    GTEST_SKIP() << "no directory link could be made here; links were not exercised";
  }
}

TEST_F(DirectoryWalkTest, WalksReportLinksToFilesAsFiles) {
  if (!testing::MakeFileLink(dir_ / L"sub\\flink", dir_ / L"a.txt")) {
    GTEST_SKIP() << "no file link could be made here";
  }
  EXPECT_EQ(Collect(*fs_, dir_ / L"sub", false, error_),
            (std::vector<std::wstring>{dir_ / L"sub\\c.txt", dir_ / L"sub\\flink"}));
}

TEST_F(DirectoryWalkTest, WalksOfMissingOrNonDirectoryPathsFailAndLogOnce) {
  struct Case {
    std::wstring path;
    bool recursive;
    int line;
  };
  const Case cases[] = {
      {dir_ / L"missing", false, 122},
      {dir_ / L"missing", true, 138},
      {dir_ / L"a.txt", false, 122},
  };
  for (const Case& c : cases) {
    LogCapture log;
    bool ok = true;
    EXPECT_TRUE(Collect(*fs_, c.path, c.recursive, error_, &ok).empty());
    EXPECT_FALSE(ok);
    EXPECT_NE(error_.value(), 0);
    EXPECT_EQ(error_.category(), ErrorCategory::kSystem);
    EXPECT_EQ(log.CountLines('E', c.line,
                             "Failed to iterate over files in '" + ToUtf8(c.path) +
                                 "' (code: " + std::to_string(error_.value()) + ")!"),
              1)
        << log.Text();
  }
  Collect(*fs_, dir_ / L"missing", false, error_);
  EXPECT_EQ(error_, ErrorCode::System(ERROR_PATH_NOT_FOUND));
}

TEST_F(WindowsFileSystemTest, LogLinesUseTheAnsiCodePageOnlyWhenItHoldsThePath) {
  if (::GetACP() != 1252) {
    GTEST_SKIP() << "expectations written for code page 1252, this system uses " << ::GetACP();
  }
  // "é" exists in 1252 and is written as the single byte 0xE9; "日本" does
  // not, and the whole path is written in UTF-8 rather than as "??".
  const std::wstring latin = dir_ / L"caf\u00e9";
  const std::wstring cjk = dir_ / L"\u65e5\u672c";
  std::string latin_ansi = ToUtf8(dir_.path()) + "\\caf\xe9";
  LogCapture log;
  Collect(*fs_, latin, false, error_);
  Collect(*fs_, cjk, false, error_);
  EXPECT_EQ(log.Count("Failed to iterate over files in '" + latin_ansi + "'"), 1) << log.Text();
  EXPECT_EQ(log.Count("Failed to iterate over files in '" + ToUtf8(cjk) + "'"), 1) << log.Text();
}

}  // namespace
}  // namespace zevrino::desktop::installer
