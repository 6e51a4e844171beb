// The UTF-8 path helpers against real files, with names beyond ASCII.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "base/path_utf8.h"
#include "tests/support/scratch_directory.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Exists;
using testing::FromUtf8;
using testing::IsDirectory;
using testing::ReadText;
using testing::ScratchDirectory;
using testing::ToUtf8;

class PathUtf8Test : public ::testing::Test {
 protected:
  std::string Utf8(const std::wstring& name) const { return ToUtf8(dir_ / name); }
  ScratchDirectory dir_;
};

TEST_F(PathUtf8Test, WriteExistDeleteRoundTripWithNonAsciiNames) {
  const std::wstring name = L"Z\u00fcrich \u65e5\u672c \U0001F600.txt";
  const std::string path = Utf8(name);
  const std::string content("payload\0bytes", 13);
  EXPECT_FALSE(file_exists_utf8(path.c_str()));
  EXPECT_EQ(write_buffer_to_file(path.c_str(), content.data(), content.size()), kSuccess);
  EXPECT_EQ(ReadText(dir_ / name), content);
  EXPECT_TRUE(file_exists_utf8(path.c_str()));
  EXPECT_TRUE(file_exists_utf8(ToUtf8(dir_.path()).c_str()));  // directories count too
  EXPECT_TRUE(delete_file_utf8(path.c_str()));
  EXPECT_FALSE(file_exists_utf8(path.c_str()));
  EXPECT_FALSE(delete_file_utf8(path.c_str()));
}

TEST_F(PathUtf8Test, WriteBufferToFileResultCodes) {
  const std::string missing_dir = Utf8(L"missing\\f.txt");
  EXPECT_EQ(write_buffer_to_file(missing_dir.c_str(), "x", 1), kCreateFailed);

  const std::wstring held = dir_ / L"held";
  testing::WriteText(held, "old");
  HANDLE handle = ::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  EXPECT_EQ(write_buffer_to_file(ToUtf8(held).c_str(), "new", 3), kFileInUse);
  ::CloseHandle(handle);
  EXPECT_EQ(ReadText(held), "old");
}

TEST_F(PathUtf8Test, PathsThatDoNotConvertNeverReachTheDisk) {
  // Invalid UTF-8 (a lone continuation byte, an overlong encoding of '/').
  for (const char* bad : {"\x80", "ab\xc0\xaf", "\xff\xfe"}) {
    const std::string path = ToUtf8(dir_.path()) + "\\" + bad;
    EXPECT_EQ(write_buffer_to_file(path.c_str(), "x", 1), kPathConversionFailed);
    EXPECT_FALSE(create_directory_utf8(path.c_str()));
    EXPECT_FALSE(file_exists_utf8(path.c_str()));
    EXPECT_FALSE(delete_file_or_delay(path.c_str()));
  }
  EXPECT_FALSE(file_exists_utf8(nullptr));

  // 32,766 UTF-16 units plus the NUL convert; 32,767 do not. "é" is two
  // UTF-8 bytes but one UTF-16 unit, so the limit is counted in units.
  const std::string base = ToUtf8(dir_.path()) + "\\";
  std::string fits = base;
  for (std::size_t i = FromUtf8(base).size(); i < kMaxWidePath - 1; ++i) {
    fits += i % 200 == 0 ? "\\" : "\xc3\xa9";
  }
  const std::string too_long = fits + "e";
  EXPECT_EQ(write_buffer_to_file(too_long.c_str(), "x", 1), kPathConversionFailed);
  EXPECT_FALSE(create_directory_utf8(too_long.c_str()));
  // The fitting path converts; whether the file system takes it is its own
  // business, but the answer must not be a conversion failure.
  EXPECT_NE(write_buffer_to_file(fits.c_str(), "x", 1), kPathConversionFailed);
}

// Past the old limit of 260 units: written, found and deleted.
TEST_F(PathUtf8Test, PathsPastMaxPathWork) {
  std::string file = ToUtf8(dir_.path());
  while (file.size() < 340) {
    file += "\\node_modules";
  }
  EXPECT_TRUE(create_parent_directories("", (file += "\\f.node").c_str()));
  EXPECT_EQ(write_buffer_to_file(file.c_str(), "deep", 4), kSuccess);
  EXPECT_TRUE(file_exists_utf8(file.c_str()) && delete_file_utf8(file.c_str()));
}

TEST_F(PathUtf8Test, CreateParentDirectoriesCreatesEveryParent) {
  // Empty base and an absolute relative path: every ancestor from the drive
  // down is attempted (the drive designator itself is skipped), existing
  // ones fail silently, and the missing ones appear.
  const std::string target = Utf8(L"\u00e4\\b/c\\file.txt");
  EXPECT_TRUE(create_parent_directories("", target.c_str()));
  EXPECT_TRUE(IsDirectory(dir_ / L"\u00e4\\b\\c"));
  EXPECT_FALSE(Exists(dir_ / L"\u00e4\\b\\c\\file.txt"));

  const std::string base = ToUtf8(dir_.path());
  EXPECT_TRUE(create_parent_directories(base.c_str(), "x\\y\\z.txt"));
  EXPECT_TRUE(IsDirectory(dir_ / L"x\\y"));

  EXPECT_TRUE(create_directory_utf8(Utf8(L"\u0444").c_str()));
  EXPECT_FALSE(create_directory_utf8(Utf8(L"\u0444").c_str()));  // exists already
}

TEST_F(PathUtf8Test, DeleteFileOrDelayDeletesOrSchedules) {
  const std::wstring path = dir_ / L"f.txt";
  testing::WriteText(path, "x");
  EXPECT_TRUE(delete_file_or_delay(ToUtf8(path).c_str()));
  EXPECT_FALSE(Exists(path));
  // A path that can be neither deleted nor scheduled.
  EXPECT_FALSE(delete_file_or_delay(""));
}

}  // namespace
}  // namespace zevrino::desktop::installer
