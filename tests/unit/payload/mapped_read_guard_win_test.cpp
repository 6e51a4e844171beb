// The payload's reads when its file's storage goes away, under Wine: pages
// decommitted under a reader stand in for a mapped file whose drive is
// pulled (the next read faults inside the view). On the decoding thread:
// tests/e2e/normal_install_test.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "base/result_code.h"
#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

TEST(MappedReadGuardWin, APayloadWhoseFileGoesAwayFailsWithItsCode) {
  constexpr std::size_t kPage = 4096;
  testing::LzmaSettings settings;
  settings.end_marker = false;
  const testing::Bytes body = testing::MakeBody(
      64 * kPage, 0, testing::Compress(testing::RandomBytes(64 * kPage, 7), settings));
  const testing::Bytes file =
      testing::MakeFile(testing::MakePeImage(0x1000), testing::MakePayload(4, 0, body), {});
  const std::size_t first = (file.size() - 16 - body.size()) / kPage,
                    last = (file.size() - 1) / kPage;
  const struct {
    std::size_t page;
    bool opened;  // the page goes after the opening: decoding meets it
    ResultCode code;
  } cases[] = {{last, false, kPayloadHeaderUnreadable},                // the marker search
               {(first + last) / 2, false, kPayloadHeaderUnreadable},  // the digest
               {(first + last) / 2, true, kPayloadDecodeFailed},
               {first, true, kPayloadHeaderUnreadable}};  // U and F
  for (const auto& c : cases) {
    auto* view = static_cast<std::uint8_t*>(
        ::VirtualAlloc(nullptr, file.size(), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    std::memcpy(view, file.data(), file.size());
    PayloadReader reader(view, view + file.size());
    std::uint16_t flags = 0;
    ErrorCode error;
    ASSERT_TRUE(!c.opened || OpenPayload(&reader, &flags, error));
    ::VirtualFree(view + c.page * kPage, kPage, MEM_DECOMMIT);
    std::vector<std::uint8_t> decoded;
    EXPECT_FALSE(c.opened ? DecodePayloadBody(reader, &decoded, error)
                          : OpenPayload(&reader, &flags, error));
    EXPECT_EQ(error, ErrorCode::Installer(c.code)) << c.page << " " << c.opened;
    ::VirtualFree(view, 0, MEM_RELEASE);
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
