#include "payload/payload_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/result_code.h"
#include "payload/bcj_x86.h"
#include "payload/payload_container.h"
#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;

ErrorCode Installer(ResultCode code) {
  return ErrorCode::Installer(code);
}

struct DecodeResult {
  bool ok;
  ErrorCode error;
  Bytes output;
};

PayloadReader ReaderOver(const Bytes& bytes) {
  return PayloadReader(bytes.data(), bytes.data() + bytes.size());
}

DecodeResult Decode(const Bytes& body, Bytes initial = {}) {
  DecodeResult result{false, ErrorCode::System(5), std::move(initial)};
  const PayloadReader reader(body.data(), body.data() + body.size());
  result.ok = DecodePayloadBody(reader, &result.output, result.error);
  return result;
}

Bytes Compressed(const Bytes& data, bool x86, bool end_marker) {
  testing::LzmaSettings settings;
  settings.x86 = x86;
  settings.end_marker = end_marker;
  return testing::Compress(data, settings);
}

TEST(DecodePayloadBody, StoredBodyIsCopiedWhateverTheFilter) {
  const Bytes stored = testing::RandomBytes(1000, 1);
  for (std::uint32_t filter : {0u, 1u, 2u, 0xFFFFFFFFu}) {
    const DecodeResult r = Decode(testing::MakeBody(0, filter, stored));
    ASSERT_TRUE(r.ok) << filter;
    EXPECT_EQ(r.error, ErrorCode());
    EXPECT_EQ(r.output, stored);
  }
  const DecodeResult empty = Decode(testing::MakeBody(0, 0, {}));
  EXPECT_TRUE(empty.ok);
  EXPECT_TRUE(empty.output.empty());
}

// Sizes around the decoder's output slices (256 KiB) check that the x86
// filter's carried state survives slicing; both stream kinds must decode.
TEST(DecodePayloadBody, DecodesStreamsWithAndWithoutEndMarker) {
  struct Case {
    std::size_t size;
    bool x86;
  };
  const Case cases[] = {{1, false},     {4, true},      {5, true},
                        {1000, false},  {1000, true},   {262144, true},
                        {262149, true}, {600001, true}, {600001, false}};
  std::uint32_t seed = 10;
  for (const auto& c : cases) {
    const Bytes original =
        c.x86 ? testing::BranchHeavyBytes(c.size, seed++) : testing::TextBytes(c.size, seed++);
    for (bool end_marker : {true, false}) {
      SCOPED_TRACE(::testing::Message() << c.size << " x86 " << c.x86 << " marker " << end_marker);
      const Bytes body = testing::MakeBody(static_cast<std::uint32_t>(c.size), c.x86 ? 1 : 0,
                                           Compressed(original, c.x86, end_marker));
      const DecodeResult r = Decode(body);
      ASSERT_TRUE(r.ok) << r.error.value();
      EXPECT_EQ(r.error, ErrorCode());
      ASSERT_EQ(r.output.size(), original.size());
      EXPECT_TRUE(r.output == original);
    }
  }
}

TEST(DecodePayloadBody, IgnoresInputAfterTheLastByte) {
  const Bytes original = testing::BranchHeavyBytes(5000, 20);
  for (bool end_marker : {true, false}) {
    Bytes stream = Compressed(original, true, end_marker);
    const Bytes garbage = testing::RandomBytes(333, 21);
    stream.insert(stream.end(), garbage.begin(), garbage.end());
    const DecodeResult r = Decode(testing::MakeBody(5000, 1, stream));
    ASSERT_TRUE(r.ok) << end_marker;
    EXPECT_TRUE(r.output == original);
  }
}

TEST(DecodePayloadBody, AppendsAndLeavesTheReaderAlone) {
  const Bytes original = testing::BranchHeavyBytes(3000, 30);
  const Bytes body = testing::MakeBody(3000, 1, Compressed(original, true, false));
  const PayloadReader reader(body.data(), body.data() + body.size());

  // A retried step decodes again from the same reader and gets the same bytes.
  for (int attempt = 0; attempt < 2; ++attempt) {
    Bytes output = {7, 8, 9};
    ErrorCode error;
    ASSERT_TRUE(DecodePayloadBody(reader, &output, error));
    EXPECT_EQ(reader.position(), body.data());
    EXPECT_EQ(reader.end(), body.data() + body.size());
    ASSERT_EQ(output.size(), 3003u);
    EXPECT_EQ(Bytes(output.begin(), output.begin() + 3), (Bytes{7, 8, 9}));
    EXPECT_TRUE(Bytes(output.begin() + 3, output.end()) == original);
  }
}

TEST(DecodePayloadBody, ReportsCorruptInput) {
  const Bytes original = testing::TextBytes(20000, 40);
  const Bytes with_marker = Compressed(original, false, true);
  const Bytes without_marker = Compressed(original, false, false);
  const std::uint32_t u = static_cast<std::uint32_t>(original.size());

  auto with_properties_byte = [&](std::uint8_t d) {
    Bytes stream = with_marker;
    stream[0] = d;
    return testing::MakeBody(u, 0, stream);
  };
  auto truncated = [&](const Bytes& stream, std::size_t keep) {
    return testing::MakeBody(u, 0, Bytes(stream.begin(), stream.begin() + keep));
  };
  Bytes flipped = without_marker;
  for (std::size_t i = 40; i < flipped.size(); i += 97) {
    flipped[i] ^= 0x55;
  }

  struct Case {
    const char* name;
    Bytes body;
    ResultCode code;
  };
  const Case cases[] = {
      {"no U", {}, kPayloadHeaderUnreadable},
      {"no F", {0x80, 0x01}, kPayloadHeaderUnreadable},
      {"U runs into a sixth byte",
       {0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0x00},
       kPayloadHeaderUnreadable},
      {"properties byte 225", with_properties_byte(225), kPayloadDecodeFailed},
      {"properties byte 255", with_properties_byte(255), kPayloadDecodeFailed},
      // lc + lp above 4 is legal LZMA but beyond what liblzma decodes (our
      // packer never writes it): refused cleanly, not decoded wrongly.
      {"lc 5", with_properties_byte(5), kPayloadDecodeFailed},
      {"lc 3, lp 2", with_properties_byte(2 * 9 + 3), kPayloadDecodeFailed},
      {"4 property bytes", truncated(with_marker, 4), kPayloadDecodeFailed},
      {"4 bytes of stream", truncated(with_marker, 9), kPayloadDecodeFailed},
      {"stream cut in half", truncated(without_marker, without_marker.size() / 2),
       kPayloadDecodeFailed},
      // (The range coder's final flush bytes may not be needed for the last
      // symbols, so only a cut that loses real data is sure to fail.)
      {"last 16 stream bytes missing", truncated(without_marker, without_marker.size() - 16),
       kPayloadDecodeFailed},
      {"damaged stream", testing::MakeBody(u, 0, flipped), kPayloadDecodeFailed},
      // The end marker arrives one byte early: the body is shorter than U says.
      {"end marker before U bytes", testing::MakeBody(u + 1, 0, with_marker), kPayloadDecodeFailed},
      {"filter 2 after good decoding", testing::MakeBody(u, 2, with_marker), kUnknownFilter},
      {"filter 256 after good decoding", testing::MakeBody(u, 256, with_marker), kUnknownFilter},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const DecodeResult r = Decode(c.body, {1, 2});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, Installer(c.code));
    EXPECT_EQ(r.output, (Bytes{1, 2})) << "a failed decode leaves the buffer as it was";
  }
}

TEST(DecodePayloadBody, HonoursPropertiesAndBoundsTheDictionary) {
  const Bytes original = testing::BranchHeavyBytes(70000, 50);
  struct Case {
    std::uint32_t lc, lp, pb, dictionary;
    std::uint32_t announced_dictionary;  // written over the encoder's value
  };
  const Case cases[] = {
      {0, 0, 0, 4096, 4096},
      {4, 0, 4, 65536, 65536},
      {0, 4, 0, 65536, 65536},
      {1, 3, 1, 8192, 8192},
      // Below 4096 counts as 4096, and announcements far above U (up to
      // 4 GiB) need no dictionary larger than the output.
      {3, 0, 2, 4096, 0},
      {3, 0, 2, 4096, 1},
      {3, 0, 2, 1 << 20, 0xFFFFFFFF},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.lc << c.lp << c.pb << " " << c.announced_dictionary);
    testing::LzmaSettings settings;
    settings.lc = c.lc;
    settings.lp = c.lp;
    settings.pb = c.pb;
    settings.dictionary = c.dictionary;
    settings.x86 = true;
    Bytes stream = testing::Compress(original, settings);
    for (int i = 0; i < 4; ++i) {
      stream[1 + i] = static_cast<std::uint8_t>(c.announced_dictionary >> (8 * i));
    }
    const DecodeResult r = Decode(testing::MakeBody(70000, 1, stream));
    ASSERT_TRUE(r.ok) << r.error.value();
    EXPECT_TRUE(r.output == original);
  }
}

// What a reader on another thread may use: every byte reported final must
// hold its final value when reported, although the x86 filter holds the last
// bytes of each slice back until it has seen what follows them.
TEST(DecodePayloadBodyInto, ReportsOnlyBytesThatAreFinal) {
  Bytes original = testing::BranchHeavyBytes(1300000, 70);
  // At each slice end a CALL whose operand runs into the next slice and is
  // converted: two of its bytes end the slice still unconverted.
  for (std::size_t end = 262144; end < original.size(); end += 262144) {
    std::fill(original.begin() + end - 12, original.begin() + end - 3, 0x90);
    const std::uint8_t call[] = {0xE8, 0x11, 0x22, 0x33, 0x00};
    std::copy(call, call + 5, original.begin() + end - 3);
  }
  const Bytes stream = Compressed(original, true, false);
  struct Case {
    const char* name;
    Bytes body;
    bool ok;
    ResultCode code;
    int min_calls;       // one per 256 KiB slice, or one for a stored body
    int stop_after = 0;  // reports after which a stop is asked for; 0: never
  };
  const Case cases[] = {
      {"x86", testing::MakeBody(1300000, 1, stream), true, kSuccess, 5},
      {"no filter", testing::MakeBody(1300000, 0, Compressed(original, false, false)), true,
       kSuccess, 5},
      {"stored", testing::MakeBody(0, 0, original), true, kSuccess, 1},
      {"input ends", testing::MakeBody(1300000, 1, Bytes(stream.begin(), stream.end() - 1000)),
       false, kPayloadDecodeFailed, 2},
      {"stopped", testing::MakeBody(1300000, 1, stream), false, kCancelled, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PayloadBodyHeader header;
    ErrorCode error;
    ASSERT_TRUE(ReadPayloadBodyHeader(ReaderOver(c.body), &header, error));
    ASSERT_EQ(header.OutputSize(), original.size());
    Bytes output(original.size(), 0xCC);
    std::size_t reported = 0;
    int calls = 0;
    const bool ok = DecodePayloadBodyInto(
        header, output.data(),
        [&](std::size_t final_bytes) {
          ASSERT_GE(final_bytes, reported);
          ASSERT_LE(final_bytes, output.size());
          // Compared now, before the decoder converts anything more.
          ASSERT_TRUE(std::equal(output.begin() + reported, output.begin() + final_bytes,
                                 original.begin() + reported))
              << "bytes " << reported << " to " << final_bytes;
          reported = final_bytes;
          ++calls;
        },
        error, X86Conversion::kWhileDecoding,
        [&] { return c.stop_after != 0 && calls >= c.stop_after; });
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(error, c.ok ? ErrorCode() : Installer(c.code));
    if (c.ok) {
      EXPECT_EQ(reported, original.size()) << "success ends with the whole output";
    } else {
      EXPECT_LT(reported, original.size());
      EXPECT_GT(reported, original.size() / 2) << "the bytes before the damage were reported";
    }
    EXPECT_GE(calls, c.min_calls);
    if (c.stop_after != 0) {
      EXPECT_EQ(calls, c.stop_after) << "stopped at the next slice";
    }
  }

  // An unknown filter makes nothing usable, so nothing is reported.
  PayloadBodyHeader header;
  ErrorCode error;
  const Bytes unknown = testing::MakeBody(1300000, 2, stream);
  ASSERT_TRUE(ReadPayloadBodyHeader(ReaderOver(unknown), &header, error));
  Bytes output(original.size());
  EXPECT_FALSE(DecodePayloadBodyInto(
      header, output.data(), [](std::size_t) { ADD_FAILURE() << "reported"; }, error));
  EXPECT_EQ(error, Installer(kUnknownFilter));
}

TEST(Payload, RoundTripsFromFileToDecodedBody) {
  const Bytes original = testing::BranchHeavyBytes(100000, 60);
  const Bytes body = testing::MakeBody(100000, 1, Compressed(original, true, false));
  const Bytes file =
      testing::MakeFile(testing::RandomBytes(4096, 61),
                        testing::MakePayload(4, kNoReplacePrompt, body), Bytes(512, 0));
  PayloadReader reader(file.data(), file.data() + file.size());
  std::uint16_t flags = 0;
  ErrorCode error;
  ASSERT_TRUE(OpenPayload(&reader, &flags, error));
  EXPECT_EQ(flags, kNoReplacePrompt);
  Bytes decoded;
  ASSERT_TRUE(DecodePayloadBody(reader, &decoded, error));
  EXPECT_TRUE(decoded == original);
}

}  // namespace
}  // namespace zevrino::desktop::installer
