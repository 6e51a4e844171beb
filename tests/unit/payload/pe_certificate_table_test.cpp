// The payload must lie in the signed part of the file: the certificate
// table that a signature appends is skipped by the signature's hash, so a
// payload planted there must never be found.

#include "payload/pe_certificate_table.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/result_code.h"
#include "payload/payload_container.h"
#include "tests/support/little_endian.h"
#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;

constexpr std::size_t kImageSize = 0x1000;
constexpr std::size_t kEntry = testing::kPeCertificateEntryOffset;

Bytes Installer(const Bytes& image, std::uint32_t seed) {
  return testing::MakeFile(image, testing::MakePayload(4, 0, testing::RandomBytes(300, seed)), {});
}

TEST(FindSignedExtent, AcceptsOnlyATableBetweenTheSectionsAndTheEnd) {
  const Bytes image = testing::MakePeImage(kImageSize);
  const Bytes unsigned_file = Installer(image, 1);
  const Bytes signed_file = testing::AppendCertificateTable(unsigned_file, Bytes(600, 0x30));
  const std::size_t table_at = signed_file.size() - 600;

  auto with_entry = [&](std::uint64_t offset, std::uint64_t size) {
    Bytes file = signed_file;
    testing::PutLe32(&file, kEntry, static_cast<std::uint32_t>(offset));
    testing::PutLe32(&file, kEntry + 4, static_cast<std::uint32_t>(size));
    return file;
  };
  Bytes pe32 = signed_file;  // the same entry read through a 32-bit optional header
  pe32[0x40 + 24] = 0x0B;
  pe32[0x40 + 25] = 0x01;
  testing::PutLe32(&pe32, 0x40 + 24 + 92, 16);
  testing::PutLe32(&pe32, 0x40 + 24 + 96 + 32, static_cast<std::uint32_t>(table_at));
  testing::PutLe32(&pe32, 0x40 + 24 + 96 + 36, 600);
  Bytes few_directories = signed_file;  // the entry lies beyond the count: unsigned
  testing::PutLe32(&few_directories, 0x40 + 24 + 108, 4);
  Bytes trailing = signed_file;  // something after the table
  trailing.push_back(0);
  const Bytes cut_headers(signed_file.begin(), signed_file.begin() + 0x60);

  using S = SignedExtentStatus;
  const struct {
    const char* name;
    Bytes file;
    SignedExtentStatus status;
    std::size_t searchable;
  } cases[] = {
      {"not a PE", testing::RandomBytes(5000, 2), S::kNotPe, 5000},
      {"MZ without PE", Bytes{'M', 'Z', 0, 0}, S::kNotPe, 4},
      {"unsigned", unsigned_file, S::kUnsigned, unsigned_file.size()},
      {"signed", signed_file, S::kSigned, table_at},
      {"signed PE32", pe32, S::kSigned, table_at},
      {"entry beyond the directory count", few_directories, S::kUnsigned, signed_file.size()},
      {"table inside the sections", with_entry(kImageSize - 8, signed_file.size() - kImageSize + 8),
       S::kInvalid, 0},
      {"table not reaching the end", with_entry(table_at, 592), S::kInvalid, 0},
      {"table past the end", with_entry(table_at, 0xFFFFF000), S::kInvalid, 0},
      {"offset outside the file", with_entry(0xFFFFFF00, 0x100), S::kInvalid, 0},
      {"size zero", with_entry(table_at, 0), S::kInvalid, 0},
      {"data after the table", trailing, S::kInvalid, 0},
      {"headers cut short", cut_headers, S::kInvalid, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SignedExtent extent = FindSignedExtent(c.file.data(), c.file.size());
    EXPECT_EQ(extent.status, c.status);
    EXPECT_EQ(extent.searchable_size, c.searchable);
    if (c.status == S::kSigned || c.status == S::kUnsigned) {
      EXPECT_EQ(extent.sections_end, kImageSize);
    }
  }
}

TEST(OpenPayload, IgnoresAPayloadPlantedInTheCertificateTable) {
  const Bytes image = testing::MakePeImage(kImageSize);
  const Bytes genuine = Installer(image, 3);
  // A second, valid installer's payload with its marker and length, put
  // inside the certificate table after the genuine signature bytes.
  const Bytes planted = Installer(testing::RandomBytes(40, 4), 5);
  Bytes table((64 + planted.size() + 7) / 8 * 8, 0);
  std::fill(table.begin(), table.begin() + 64, 0x30);
  std::copy(planted.begin(), planted.end(), table.begin() + 64);
  const Bytes file = testing::AppendCertificateTable(genuine, table);

  PayloadReader reader(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  ErrorCode error;
  ASSERT_TRUE(OpenPayload(&reader, &flags, error)) << error.value();
  EXPECT_EQ(reader.begin(), file.data() + kImageSize);
  EXPECT_EQ(reader.end(), file.data() + genuine.size() - 16);

  // Without a genuine payload, the planted one is not found either; nor is
  // anything when the table is misplaced.
  const Bytes only_planted = testing::AppendCertificateTable(image, table);
  Bytes misplaced = file;
  testing::PutLe32(&misplaced, kEntry + 4, static_cast<std::uint32_t>(table.size() + 8));
  for (const Bytes* bad : {&only_planted, static_cast<const Bytes*>(&misplaced)}) {
    PayloadReader r(bad->data(), bad->data() + bad->size());
    EXPECT_FALSE(OpenPayload(&r, &flags, error));
    EXPECT_EQ(error, ErrorCode::Installer(kPayloadNotFound));
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
