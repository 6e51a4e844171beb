#include "installer_stub/own_file_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "base/result_code.h"
#include "tests/support/payload_builder.h"
#include "tests/support/scratch_directory.h"
#include "windows/mapped_file_win.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {
namespace {

using testing::BuildInstallerFile;
using testing::PayloadImage;
using testing::ScratchDirectory;

TEST(MappedFile, MapsTheWholeFileUntilDestroyedOrMoved) {
  ScratchDirectory dir;
  std::vector<std::uint8_t> bytes(3 * 65536 + 17);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  }
  const std::wstring path = dir.Write(L"data.bin", bytes);
  {
    MappedFile first;
    ErrorCode error = ErrorCode::System(99);
    ASSERT_TRUE(first.Open(path.c_str(), error));
    EXPECT_FALSE(error);
    ASSERT_EQ(first.size(), bytes.size());
    EXPECT_EQ(std::memcmp(first.data(), bytes.data(), bytes.size()), 0);

    MappedFile second(std::move(first));
    EXPECT_EQ(first.data(), nullptr);
    EXPECT_EQ(first.size(), 0u);
    ASSERT_EQ(second.size(), bytes.size());
    EXPECT_EQ(second.data()[bytes.size() - 1], bytes.back());

    // Re-opening replaces the earlier view; the old one must be released or
    // the directory cannot be removed at the end.
    const std::wstring other = dir.Write(L"other.bin", {1, 2, 3});
    ASSERT_TRUE(second.Open(other.c_str(), error));
    EXPECT_EQ(second.size(), 3u);
    EXPECT_EQ(second.data()[2], 3);
  }
}

TEST(MappedFile, ReportsTheWindowsError) {
  ScratchDirectory dir;
  MappedFile mapped;
  ErrorCode error;

  EXPECT_FALSE(mapped.Open((dir / L"missing.exe").c_str(), error));
  EXPECT_EQ(error, ErrorCode::System(ERROR_FILE_NOT_FOUND));

  // A writer that shares nothing keeps the installer from reading its file.
  const std::wstring locked = dir.Write(L"locked.exe", {1, 2, 3, 4});
  {
    ScopedKernelHandle writer(::CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.valid());
    EXPECT_FALSE(mapped.Open(locked.c_str(), error));
    EXPECT_EQ(error, ErrorCode::System(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(mapped.data(), nullptr);
  }

  // An empty file is no error of the mapping: it simply holds nothing.
  const std::wstring empty = dir.Write(L"empty.exe", {});
  EXPECT_TRUE(mapped.Open(empty.c_str(), error));
  EXPECT_FALSE(error);
  EXPECT_EQ(mapped.size(), 0u);
}

// The payload's own checks are tested with the payload module; here it is the
// glue: the reader over the mapping, and which errors come from where.
TEST(OpenOwnPayload, ReseatsTheReaderInsideTheMapping) {
  ScratchDirectory dir;
  PayloadImage layout;
  layout.header_size = 12;
  layout.flags = 3;
  OwnPayload payload;
  ErrorCode error = ErrorCode::System(5);
  ASSERT_TRUE(
      OpenOwnPayload(dir.Write(L"good.exe", BuildInstallerFile(layout)).c_str(), &payload, error));
  EXPECT_FALSE(error);
  EXPECT_EQ(payload.flags, 3);
  EXPECT_EQ(payload.reader.begin(), payload.image.data() + layout.image.size());
  ASSERT_EQ(payload.reader.Remaining(), layout.body.size());
  EXPECT_EQ(std::memcmp(payload.reader.position(), layout.body.data(), layout.body.size()), 0);

  // Flags are read before the digest is checked.
  layout.corrupt_digest = true;
  layout.flags = 1;
  EXPECT_FALSE(
      OpenOwnPayload(dir.Write(L"bad.exe", BuildInstallerFile(layout)).c_str(), &payload, error));
  EXPECT_EQ(error, ErrorCode::Installer(kPayloadDigestMismatch));
  EXPECT_EQ(payload.flags, 1);
}

TEST(OpenOwnPayload, FileErrorsAreSystemErrorsAndAnEmptyFileHasNoPayload) {
  ScratchDirectory dir;
  OwnPayload payload;
  ErrorCode error;
  EXPECT_FALSE(OpenOwnPayload((dir / L"missing.exe").c_str(), &payload, error));
  EXPECT_EQ(error, ErrorCode::System(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(OpenOwnPayload(dir.Write(L"empty.exe", {}).c_str(), &payload, error));
  EXPECT_EQ(error, ErrorCode::Installer(kPayloadNotFound));
}

TEST(GetOwnFileName, NamesThisProgramsFile) {
  std::wstring name;
  ASSERT_TRUE(GetOwnFileName(&name));
  const std::wstring suffix = L"installer_stub_tests.exe";
  ASSERT_GT(name.size(), suffix.size());
  EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix);
  EXPECT_NE(::GetFileAttributesW(name.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace zevrino::desktop::installer
