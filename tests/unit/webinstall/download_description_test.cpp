#include "webinstall/download_description.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/description_builder.h"
#include "tests/support/payload_builder.h"
#include "tools/pack_installer/download_description.h"

namespace zevrino::desktop::installer {
namespace {

using Bytes = std::vector<std::uint8_t>;

using testing::DownloadDescription;

ResultCode Read(const Bytes& bytes, std::string* address) {
  return ReadDownloadDescription(bytes.data(), bytes.size(), address);
}

// What the packer writes, the installer reads: the second address of two
// or more; and the packer's own reader (list, verify) gets every address back.
TEST(DownloadDescription, ReadsWhatThePackerWrites) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"https://example.invalid/[ARCH]/ZevrinoSetup.exe"},
       "https://example.invalid/[ARCH]/ZevrinoSetup.exe"},
      {{"http://127.0.0.1:8080/a"}, "http://127.0.0.1:8080/a"},
      {{"h"}, "h"},
      {{"https://a/1.exe", "https://b/2.exe"}, "https://b/2.exe"},
      {{"https://a/1.exe", "https://b/2.exe", "https://c/3.exe"}, "https://b/2.exe"},
  };
  for (const auto& [urls, expected] : cases) {
    const Bytes body = packer::BuildDownloadDescription(urls);
    std::string address;
    EXPECT_EQ(Read(body, &address), kSuccess);
    EXPECT_EQ(address, expected);
    std::vector<std::string> listed;
    EXPECT_TRUE(packer::ReadDownloadAddresses(body.data(), body.size(), &listed));
    EXPECT_EQ(listed, urls);
  }
}

TEST(DownloadDescription, TheSecondOfSeveralEntriesIsTheAddress) {
  std::string address;
  ASSERT_EQ(Read(DownloadDescription(2, {"first", "second"}), &address), kSuccess);
  EXPECT_EQ(address, "second");
  ASSERT_EQ(Read(DownloadDescription(3, {"", "x", "third is checked but unused"}), &address),
            kSuccess);
  EXPECT_EQ(address, "x");
  // An entry is a C string: a zero inside it ends the address.
  Bytes inner_zero = DownloadDescription(1, {std::string("ab\0cd", 5)});
  ASSERT_EQ(Read(inner_zero, &address), kSuccess);
  EXPECT_EQ(address, "ab");
}

TEST(DownloadDescription, EveryMalformedShapeIsCodeFour) {
  Bytes no_terminator = DownloadDescription(1, {"http://a/b"});
  no_terminator.back() = 'x';
  Bytes trailing = DownloadDescription(1, {"http://a/b"});
  trailing.push_back(0);
  Bytes past_end = DownloadDescription(1, {"http://a/b"});
  past_end[4] += 1;  // length one more than the bytes present
  Bytes wrapping = DownloadDescription(1, {"http://a/b"});
  for (int i = 4; i < 8; ++i) {
    wrapping[i] = 0xFF;  // a length that would wrap a 32-bit position
  }
  Bytes zero_length = DownloadDescription(1, {"abcd"});
  zero_length[4] = 0;
  Bytes missing_entry = DownloadDescription(2, {"only one entry here"});
  Bytes cut_length = DownloadDescription(1, {"abcd"});
  cut_length.resize(8);  // count and a length, no bytes

  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"8 bytes", Bytes(8, 0)},
      {"count 0", DownloadDescription(0, {"abcd"})},
      {"negative count", DownloadDescription(-1, {"abcd"})},
      {"no terminator", no_terminator},
      {"bytes after the last entry", trailing},
      {"entry past the end", past_end},
      {"huge length", wrapping},
      {"zero length", zero_length},
      {"count larger than entries", missing_entry},
      {"entry cut short", cut_length},
  };
  for (const auto& [name, bytes] : cases) {
    std::string address = "untouched";
    EXPECT_EQ(Read(bytes, &address), kPayloadNotFound) << name;
    EXPECT_EQ(address, "untouched") << name;
    std::vector<std::string> listed;  // list and verify refuse the same shapes
    EXPECT_FALSE(packer::ReadDownloadAddresses(bytes.data(), bytes.size(), &listed)) << name;
  }
}

// A body that says it decodes to more than 64 KiB is refused before any of
// it is allocated or decoded; one of 64 KiB decodes.
TEST(DownloadDescription, ABodyOfMoreThan64KiBIsRefusedUnread) {
  const struct {
    std::uint32_t decoded_size;
    std::size_t stored;
    ResultCode result;
  } cases[] = {
      {0xFFFFFFFF, 0, kPayloadHeaderUnreadable},  // 4 GiB announced, no data
      {0, kMaxDownloadDescriptionSize + 1, kPayloadHeaderUnreadable},
      {0, kMaxDownloadDescriptionSize, kSuccess},
  };
  for (const auto& c : cases) {
    const Bytes body = testing::MakeBody(c.decoded_size, 0, Bytes(c.stored, 'a'));
    Bytes decoded;
    EXPECT_EQ(
        DecodeDownloadDescription(PayloadReader(body.data(), body.data() + body.size()), &decoded),
        c.result)
        << c.decoded_size << " " << c.stored;
    EXPECT_EQ(decoded.size(), c.result == kSuccess ? c.stored : 0u);
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
