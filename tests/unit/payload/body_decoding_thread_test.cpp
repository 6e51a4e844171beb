#include "payload/body_decoding_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "base/result_code.h"
#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;

// The owner of a BodyDecodingThread reads the bytes WaitFor confirms while
// the decoder runs on and while the owner itself undoes the x86 filter
// behind it: every confirmed prefix must already hold its final bytes,
// whatever its length, the filter, the body's size (a small one decodes on
// the owner's thread) or a failure late in the body.
TEST(BodyDecodingThread, ConfirmsOnlyFinalBytes) {
  Bytes original = testing::BranchHeavyBytes(3 << 20, 7);
  for (std::size_t end = 262144; end < original.size(); end += 262144) {
    // A CALL whose operand runs into the next decoder slice.
    const std::uint8_t call[] = {0xE8, 0x11, 0x22, 0x33, 0x00};
    std::copy(call, call + 5, original.begin() + end - 3);
  }
  struct Case {
    const char* name;
    std::size_t size;
    bool x86;
    std::size_t cut;  // bytes taken off the end of the stream
  };
  const Case cases[] = {{"x86", original.size(), true, 0},
                        {"no filter", original.size(), false, 0},
                        {"small x86 body", 300000, true, 0},
                        {"stream cut short", original.size(), true, 4096}};
  std::mt19937 random(11);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::LzmaSettings settings;
    settings.x86 = c.x86;
    settings.end_marker = false;
    Bytes stream = testing::Compress(Bytes(original.begin(), original.begin() + c.size), settings);
    stream.resize(stream.size() - c.cut);
    const Bytes body = testing::MakeBody(static_cast<std::uint32_t>(c.size), c.x86 ? 1 : 0, stream);
    PayloadBodyHeader header;
    ErrorCode error;
    ASSERT_TRUE(ReadPayloadBodyHeader(PayloadReader(body.data(), body.data() + body.size()),
                                      &header, error));
    BodyDecodingThread decoding;
    ASSERT_TRUE(decoding.Start(header, error));
    ASSERT_EQ(decoding.size(), c.size);

    // Prefixes that end just before and just after each slice boundary,
    // where the filter holds bytes back, then the whole output.
    std::vector<std::size_t> counts;
    for (std::size_t end = 262144; end < c.size; end += 262144) {
      counts.push_back(end - 1 - random() % 6);
      counts.push_back(end + random() % 1000);
    }
    counts.push_back(c.size);
    std::size_t confirmed = 0;
    for (const std::size_t count : counts) {
      if (!decoding.WaitFor(count)) {
        break;
      }
      // Compared at once, while the decoding goes on.
      ASSERT_TRUE(std::equal(decoding.data(), decoding.data() + count, original.begin()))
          << "the first " << count << " bytes";
      confirmed = count;
    }
    const bool ok = decoding.Finish(error);
    EXPECT_EQ(ok, c.cut == 0);
    if (ok) {
      EXPECT_EQ(confirmed, c.size);
      EXPECT_TRUE(std::equal(decoding.data(), decoding.data() + c.size, original.begin()));
    } else {
      EXPECT_EQ(error, ErrorCode::Installer(kPayloadDecodeFailed));
      EXPECT_LT(confirmed, c.size);
      EXPECT_GT(confirmed, c.size / 2) << "the bytes before the damage were confirmed";
    }
    decoding.ReleaseOutput();
    EXPECT_EQ(decoding.size(), 0u);
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
