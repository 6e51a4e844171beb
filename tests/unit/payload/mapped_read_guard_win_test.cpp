// Reads of a view whose storage goes away, under Wine: committed pages that
// are then decommitted stand in for a mapped file whose drive is pulled (the
// next read faults at an address inside the view).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "installer/result_code.h"
#include "payload/mapped_read_guard.h"
#include "payload/payload_container.h"
#include "payload/payload_decoder.h"
#include "tests/unit/payload/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;
constexpr std::size_t kPage = 4096;

struct Pages {
  explicit Pages(const Bytes& bytes)
      : base(static_cast<std::uint8_t*>(
            ::VirtualAlloc(nullptr, bytes.size(), MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE))),
        end(base + bytes.size()) {
    std::memcpy(base, bytes.data(), bytes.size());
  }
  ~Pages() { ::VirtualFree(base, 0, MEM_RELEASE); }
  void Vanish(std::size_t from, std::size_t to) {
    ::VirtualFree(base + from, to - from, MEM_DECOMMIT);
  }
  std::uint8_t* base;
  std::uint8_t* end;
};

TEST(MappedReadGuardWin, OnlyTheReadThatFaultsEnds) {
  Pages view(Bytes(4 * kPage, 1));
  view.Vanish(2 * kPage, 3 * kPage);
  unsigned sum = 0;
  const auto sum_to = [&](const std::uint8_t* end) {
    for (const volatile std::uint8_t* p = view.base; p != end; ++p) {
      sum += *p;
    }
  };
  bool guarded = true;
  std::thread([&] {
    guarded = GuardMappedRead(view.base, view.end, [&] { sum_to(view.end); });
  }).join();
  EXPECT_FALSE(guarded) << "on another thread";
  // An inner guard ends only its own read; the outer one, on this thread,
  // runs on.
  sum = 0;
  EXPECT_TRUE(GuardMappedRead(view.base, view.end, [&] {
    guarded = GuardMappedRead(view.base, view.end, [&] { sum_to(view.end); });
    sum = 0;
    sum_to(view.base + 2 * kPage);
  }));
  EXPECT_FALSE(guarded);
  EXPECT_EQ(sum, 2 * kPage);
}

TEST(MappedReadGuardWin, APayloadWhoseFileGoesAwayFailsWithItsCode) {
  testing::LzmaSettings settings;
  settings.end_marker = false;
  const Bytes data = testing::RandomBytes(64 * kPage, 7);
  const Bytes body = testing::MakeBody(64 * kPage, 0, testing::Compress(data, settings));
  const Bytes file =
      testing::MakeFile(testing::MakePeImage(0x1000), testing::MakePayload(4, 0, body), {});
  const std::size_t body_page = (file.size() - 16 - body.size()) / kPage * kPage;
  const std::size_t last_page = (file.size() - 1) / kPage * kPage;
  const std::size_t middle_page = (body_page + last_page) / 2 / kPage * kPage;
  const struct {
    std::size_t vanish;
    bool opened;  // the fault comes after the opening, in decoding
    Result code;
  } cases[] = {{last_page, false, kPayloadHeaderUnreadable},    // the marker search
               {middle_page, false, kPayloadHeaderUnreadable},  // the digest
               {middle_page, true, kPayloadDecodeFailed},
               {body_page, true, kPayloadHeaderUnreadable}};  // U and F
  for (const auto& c : cases) {
    Pages view(file);
    PayloadReader reader(view.base, view.end);
    std::uint16_t flags = 0;
    ErrorCode error;
    if (c.opened) {
      ASSERT_TRUE(OpenPayload(&reader, &flags, &error));
    }
    view.Vanish(c.vanish, c.vanish + kPage);
    std::vector<std::uint8_t> decoded;
    EXPECT_FALSE(c.opened ? DecodePayloadBody(reader, &decoded, &error)
                          : OpenPayload(&reader, &flags, &error));
    EXPECT_EQ(error, ErrorCode::Installer(c.code)) << c.vanish << " " << c.opened;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
