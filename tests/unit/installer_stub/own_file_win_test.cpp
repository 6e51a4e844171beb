#include "installer_stub/own_file_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

#include "installer/result_code.h"
#include "installer_stub/mapped_file_win.h"
#include "installer_stub/scoped_handle_win.h"
#include "tests/unit/installer_stub/payload_image.h"
#include "tests/unit/installer_stub/temp_dir_win.h"

namespace zevrino::desktop::installer {
namespace {

using testing::BuildInstallerFile;
using testing::PayloadImage;
using testing::TempDir;

TEST(MappedFile, MapsTheWholeFileUntilDestroyedOrMoved) {
  TempDir dir;
  std::vector<std::uint8_t> bytes(3 * 65536 + 17);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
  }
  const std::wstring path = dir.Write(L"data.bin", bytes);
  {
    MappedFile first;
    ErrorCode error = ErrorCode::System(99);
    ASSERT_TRUE(first.Open(path.c_str(), &error));
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
    ASSERT_TRUE(second.Open(other.c_str(), &error));
    EXPECT_EQ(second.size(), 3u);
    EXPECT_EQ(second.data()[2], 3);
  }
}

TEST(MappedFile, ReportsTheWindowsError) {
  TempDir dir;
  MappedFile mapped;
  ErrorCode error;

  EXPECT_FALSE(mapped.Open(dir.File(L"missing.exe").c_str(), &error));
  EXPECT_EQ(error, ErrorCode::System(ERROR_FILE_NOT_FOUND));

  // A writer that shares nothing keeps the installer from reading its file.
  const std::wstring locked = dir.Write(L"locked.exe", {1, 2, 3, 4});
  {
    ScopedHandle writer(::CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.is_valid());
    EXPECT_FALSE(mapped.Open(locked.c_str(), &error));
    EXPECT_EQ(error, ErrorCode::System(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(mapped.data(), nullptr);
  }

  // An empty file is no error of the mapping: it simply holds nothing.
  const std::wstring empty = dir.Write(L"empty.exe", {});
  EXPECT_TRUE(mapped.Open(empty.c_str(), &error));
  EXPECT_FALSE(error);
  EXPECT_EQ(mapped.size(), 0u);
}

TEST(OpenOwnPayload, OpensTheAppendedPayloadOrReportsWhy) {
  struct Case {
    const char* name;
    PayloadImage spec;
    ErrorCode error;
  };
  PayloadImage flags3;
  flags3.flags = 3;
  PayloadImage bad_digest = flags3;
  bad_digest.corrupt_digest = true;
  PayloadImage header_too_big;
  header_too_big.declared_header_size = 4000;
  PayloadImage long_header;
  long_header.header_size = 12;
  long_header.flags = 1;
  PayloadImage no_trailer;
  no_trailer.trailer.clear();
  const Case cases[] = {
      {"valid", flags3, ErrorCode()},
      {"header of 12 bytes", long_header, ErrorCode()},
      {"nothing after the length", no_trailer, ErrorCode()},
      {"digest mismatch", bad_digest, ErrorCode::Installer(kPayloadDigestMismatch)},
      {"header beyond payload", header_too_big, ErrorCode::Installer(kPayloadHeaderUnreadable)},
  };
  TempDir dir;
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::wstring path =
        dir.Write(L"case" + std::to_wstring(n++) + L".exe", BuildInstallerFile(c.spec));
    OwnPayload payload;
    ErrorCode error = ErrorCode::System(5);
    EXPECT_EQ(OpenOwnPayload(path.c_str(), &payload, &error), !c.error);
    EXPECT_EQ(error, c.error);
    if (c.error != ErrorCode::Installer(kPayloadHeaderUnreadable)) {
      EXPECT_EQ(payload.flags, c.spec.flags);  // also read when the digest fails
    }
    if (!c.error) {
      // The reader views the payload inside the mapping, positioned at the body.
      EXPECT_EQ(payload.reader.begin(), payload.image.data() + c.spec.image.size());
      ASSERT_EQ(payload.reader.Remaining(), c.spec.body.size());
      EXPECT_EQ(std::memcmp(payload.reader.position(), c.spec.body.data(), c.spec.body.size()), 0);
    }
  }
}

TEST(OpenOwnPayload, FilesWithoutAPayload) {
  TempDir dir;
  OwnPayload payload;
  ErrorCode error;
  EXPECT_FALSE(OpenOwnPayload(dir.Write(L"bare.exe", std::vector<std::uint8_t>(4096, 0xAC)).c_str(),
                              &payload, &error));
  EXPECT_EQ(error, ErrorCode::Installer(kPayloadNotFound));
  EXPECT_FALSE(OpenOwnPayload(dir.Write(L"empty.exe", {}).c_str(), &payload, &error));
  EXPECT_EQ(error, ErrorCode::Installer(kPayloadNotFound));
  EXPECT_FALSE(OpenOwnPayload(dir.File(L"missing.exe").c_str(), &payload, &error));
  EXPECT_EQ(error, ErrorCode::System(ERROR_FILE_NOT_FOUND));
}

TEST(GetOwnFileName, NamesThisProgramsFile) {
  wchar_t path[MAX_PATH];
  ASSERT_TRUE(GetOwnFileName(path));
  const std::wstring name(path);
  const std::wstring suffix = L"installer_stub_tests.exe";
  ASSERT_GT(name.size(), suffix.size());
  EXPECT_EQ(name.substr(name.size() - suffix.size()), suffix);
  EXPECT_NE(::GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace zevrino::desktop::installer
