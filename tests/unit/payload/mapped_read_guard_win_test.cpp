// Reads of a view whose storage goes away, under Wine: the fault ends the
// guarded read on the thread that made it, and the payload's opening and
// decoding fail with their codes. A committed region whose pages are then
// decommitted stands in for a mapped file whose drive is pulled: the next
// read of those pages faults at an address inside the view.
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

class VanishingView {
 public:
  explicit VanishingView(const Bytes& bytes) : size_(bytes.size()) {
    base_ = static_cast<std::uint8_t*>(
        ::VirtualAlloc(nullptr, size_ + kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    std::memcpy(base_, bytes.data(), size_);
  }
  ~VanishingView() { ::VirtualFree(base_, 0, MEM_RELEASE); }
  VanishingView(const VanishingView&) = delete;
  VanishingView& operator=(const VanishingView&) = delete;

  // Takes away the pages that hold [from, to).
  void Vanish(std::size_t from, std::size_t to) {
    const std::size_t first = from / kPage * kPage;
    ASSERT_TRUE(
        ::VirtualFree(base_ + first, (to - first + kPage - 1) / kPage * kPage, MEM_DECOMMIT));
  }
  const std::uint8_t* data() const { return base_; }
  PayloadReader Reader() const { return PayloadReader(base_, base_ + size_); }

 private:
  std::uint8_t* base_ = nullptr;
  std::size_t size_;
};

unsigned Sum(const std::uint8_t* begin, const std::uint8_t* end) {
  unsigned sum = 0;
  for (const volatile std::uint8_t* p = begin; p != end; ++p) {
    sum += *p;
  }
  return sum;
}

TEST(MappedReadGuardWin, AFaultInsideTheRangeEndsOnlyTheReadThatMadeIt) {
  VanishingView view(Bytes(4 * kPage, 1));
  view.Vanish(2 * kPage, 3 * kPage);
  const std::uint8_t* begin = view.data();
  const std::uint8_t* end = begin + 4 * kPage;
  unsigned sum = 0;
  EXPECT_FALSE(GuardMappedRead(begin, end, [&] { sum = Sum(begin, end); }));
  EXPECT_EQ(sum, 0u) << "the read was abandoned";
  for (int i = 0; i < 3; ++i) {
    bool guarded = true;
    std::thread([&] { guarded = GuardMappedRead(begin, end, [&] { Sum(begin, end); }); }).join();
    EXPECT_FALSE(guarded) << "on another thread, time " << i;
  }
  // An inner guard ends only its own read; the outer one runs on.
  bool inner = true;
  EXPECT_TRUE(GuardMappedRead(begin, end, [&] {
    inner = GuardMappedRead(begin, end, [&] { Sum(begin, end); });
    sum = Sum(begin, begin + 2 * kPage);
  }));
  EXPECT_FALSE(inner);
  EXPECT_EQ(sum, 2 * kPage);
}

TEST(MappedReadGuardWin, APayloadWhoseFileGoesAwayFailsWithItsCode) {
  const Bytes data = testing::RandomBytes(64 * kPage, 7);
  testing::LzmaSettings settings;
  settings.end_marker = false;
  const Bytes body = testing::MakeBody(static_cast<std::uint32_t>(data.size()), 0,
                                       testing::Compress(data, settings));
  const Bytes file =
      testing::MakeFile(testing::MakePeImage(0x1000), testing::MakePayload(4, 0, body), {});
  const std::size_t body_start = file.size() - 16 - body.size();
  const struct {
    const char* what;
    std::size_t from, to;
  } opening[] = {{"marker search", file.size() - 20, file.size()},
                 {"digest", body_start + body.size() / 2, body_start + body.size() / 2 + 1}};
  for (const auto& c : opening) {
    SCOPED_TRACE(c.what);
    VanishingView view(file);
    view.Vanish(c.from, c.to);
    PayloadReader reader = view.Reader();
    std::uint16_t flags = 0;
    ErrorCode error;
    EXPECT_FALSE(OpenPayload(&reader, &flags, &error));
    EXPECT_EQ(error, ErrorCode::Installer(kPayloadHeaderUnreadable));
  }

  VanishingView view(file);
  PayloadReader reader = view.Reader();
  std::uint16_t flags = 0;
  ErrorCode error;
  ASSERT_TRUE(OpenPayload(&reader, &flags, &error));
  view.Vanish(body_start + body.size() / 2, body_start + body.size());
  std::vector<std::uint8_t> decoded;
  EXPECT_FALSE(DecodePayloadBody(reader, &decoded, &error));
  EXPECT_EQ(error, ErrorCode::Installer(kPayloadDecodeFailed));
  view.Vanish(body_start, body_start + 1);
  EXPECT_FALSE(DecodePayloadBody(reader, &decoded, &error));
  EXPECT_EQ(error, ErrorCode::Installer(kPayloadHeaderUnreadable)) << "U and F unreadable";
}

}  // namespace
}  // namespace zevrino::desktop::installer
