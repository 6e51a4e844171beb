#include "payload/payload_container.h"

#include <gtest/gtest.h>

#include "base/result_code.h"
#include "payload/marker_search.h"
#include "tests/support/files.h"
#include "tests/support/little_endian.h"
#include "tests/support/payload_builder.h"

namespace zevrino::desktop::installer {
namespace {

using testing::Bytes;

struct OpenResult {
  bool ok;
  ErrorCode error;
  std::uint16_t flags;
  PayloadReader reader;
};

OpenResult Open(const Bytes& file) {
  OpenResult result{};
  result.flags = 0xBEEF;  // shows whether the flags were written
  result.error = ErrorCode::System(12345);
  result.reader.Reseat(file.data(), file.data() + file.size());
  result.ok = OpenPayload(&result.reader, &result.flags, result.error);
  return result;
}

ErrorCode Installer(ResultCode code) {
  return ErrorCode::Installer(code);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
  }
  return all;
}

TEST(OpenPayload, FindsPayloadAndSeatsReaderOnTheBody) {
  const Bytes image = testing::RandomBytes(5000, 1);
  const Bytes body = testing::RandomBytes(777, 2);
  const Bytes payload = testing::MakePayload(4, kWebInstaller | kNoReplacePrompt | 0x8000, body);
  // Padding and a stand-in certificate table follow, as in a signed file.
  const Bytes file =
      testing::MakeFile(image, payload, Concat({Bytes(7, 0), testing::RandomBytes(3000, 3)}));

  const OpenResult r = Open(file);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.error, ErrorCode());
  EXPECT_EQ(r.flags, kWebInstaller | kNoReplacePrompt | 0x8000) << "unknown bits are passed on";
  EXPECT_EQ(r.reader.begin(), file.data() + image.size());
  EXPECT_EQ(r.reader.end(), file.data() + image.size() + payload.size());
  EXPECT_EQ(r.reader.position(), file.data() + image.size() + 4 + 20);
  EXPECT_EQ(Bytes(r.reader.position(), r.reader.end()), body);
}

TEST(OpenPayload, LocatesTheMarkerOrReportsNotFound) {
  const Bytes marker = testing::Marker();
  const Bytes payload = testing::MakePayload(4, 0, testing::RandomBytes(50, 4));
  Bytes disarmed = marker;
  disarmed[0] = 0x00;  // how the program keeps the marker in its own data

  struct Case {
    const char* name;
    Bytes file;
    bool ok;
    ResultCode code;
  };
  const Case cases[] = {
      {"empty file", {}, false, kPayloadNotFound},
      {"bare image", testing::RandomBytes(4096, 5), false, kPayloadNotFound},
      {"image holding the disarmed marker", Concat({payload, disarmed, testing::Le32Bytes(74)}),
       false, kPayloadNotFound},
      {"marker at the very end", Concat({payload, marker}), false, kPayloadNotFound},
      {"3 bytes after the marker", Concat({payload, marker, {74, 0, 0}}), false, kPayloadNotFound},
      {"length beyond the file start",
       Concat(
           {payload, marker, testing::Le32Bytes(static_cast<std::uint32_t>(payload.size() + 1))}),
       false, kPayloadNotFound},
      {"length of 4 GiB - 1", Concat({payload, marker, testing::Le32Bytes(0xFFFFFFFF)}), false,
       kPayloadNotFound},
      {"payload from byte 0", Concat({payload, marker, testing::Le32Bytes(74)}), true, kSuccess},
      // A later marker wins even when what follows it is unusable.
      {"second marker without length",
       Concat({payload, marker, testing::Le32Bytes(74), Bytes(9, 0), marker, {1}}), false,
       kPayloadNotFound},
      {"second marker with a good payload",
       testing::MakeFile(Concat({Bytes(10, 1), marker, testing::Le32Bytes(3)}), payload, {}), true,
       kSuccess},
  };
  ASSERT_EQ(payload.size(), 74u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const OpenResult r = Open(c.file);
    EXPECT_EQ(r.ok, c.ok);
    EXPECT_EQ(r.error, c.ok ? ErrorCode() : Installer(c.code));
  }
}

TEST(OpenPayload, RejectsUnreadableHeaders) {
  const Bytes body = testing::RandomBytes(30, 6);
  const Bytes good = testing::MakePayload(4, 0, body);
  Bytes header_too_big = good;
  header_too_big[0] = static_cast<std::uint8_t>(good.size() + 1);
  Bytes header_is_whole_payload = good;
  header_is_whole_payload[0] = static_cast<std::uint8_t>(good.size());

  struct Case {
    const char* name;
    Bytes payload;
    ResultCode code;
    bool flags_written;
  };
  const Case cases[] = {
      {"empty payload", {}, kPayloadHeaderUnreadable, false},
      {"3-byte payload", {4, 0, 1}, kPayloadHeaderUnreadable, false},
      {"header size beyond the payload", header_too_big, kPayloadHeaderUnreadable, false},
      {"no room for the digest", header_is_whole_payload, kPayloadHeaderUnreadable, true},
      {"19 digest bytes", Bytes(good.begin(), good.begin() + 23), kPayloadHeaderUnreadable, true},
      {"20 digest bytes, empty body", testing::MakePayload(4, 0, {}), kSuccess, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const OpenResult r = Open(testing::MakeFile(testing::RandomBytes(100, 7), c.payload, {}));
    EXPECT_EQ(r.ok, c.code == kSuccess);
    EXPECT_EQ(r.error, c.code == kSuccess ? ErrorCode() : Installer(c.code));
    EXPECT_EQ(r.flags != 0xBEEF, c.flags_written);
  }
}

TEST(OpenPayload, HeaderSizeCountsTheWholeHeader) {
  const Bytes body = testing::RandomBytes(64, 8);
  for (std::uint16_t header_size : {2, 3, 4, 5, 40}) {
    SCOPED_TRACE(header_size);
    const Bytes payload = testing::MakePayload(header_size, 0x0102, body);
    const Bytes file = testing::MakeFile({}, payload, {});
    const OpenResult r = Open(file);
    ASSERT_TRUE(r.ok) << r.error.value();
    EXPECT_EQ(Bytes(r.reader.position(), r.reader.end()), body);
    // Below 4 the digest overlaps the flags field, which is read all the same.
    EXPECT_EQ(r.flags, testing::GetLe16(payload, 2));
  }
}

TEST(OpenPayload, DigestCoversExactlyTheBody) {
  const Bytes image = testing::RandomBytes(300, 9);
  const Bytes payload = testing::MakePayload(6, kNoReplacePrompt, testing::RandomBytes(200, 10));
  const Bytes file = testing::MakeFile(image, payload, {});
  const std::size_t start = image.size();

  // Every bit of the digest and the body is checked...
  for (std::size_t offset = 6; offset < payload.size(); ++offset) {
    for (int bit = 0; bit < 8; bit += 3) {
      Bytes damaged = file;
      damaged[start + offset] ^= static_cast<std::uint8_t>(1 << bit);
      const OpenResult r = Open(damaged);
      ASSERT_FALSE(r.ok) << offset;
      ASSERT_EQ(r.error, Installer(kPayloadDigestMismatch)) << offset;
      ASSERT_EQ(r.flags, kNoReplacePrompt) << "flags are written before the digest check";
    }
  }
  // ...the flags and the further header bytes are not.
  for (std::size_t offset : {2, 3, 4, 5}) {
    Bytes changed = file;
    changed[start + offset] ^= 0x40;
    EXPECT_TRUE(Open(changed).ok) << offset;
  }
}

TEST(VerifyPayloadDigest, KeepsPositionAfterTheDigest) {
  const Bytes body = testing::RandomBytes(10, 11);
  Bytes digest_and_body = testing::MakePayload(4, 0, body);
  digest_and_body.erase(digest_and_body.begin(), digest_and_body.begin() + 4);
  PayloadReader reader(digest_and_body.data(), digest_and_body.data() + digest_and_body.size());
  ErrorCode error = Installer(kPayloadNotFound);
  ASSERT_TRUE(VerifyPayloadDigest(&reader, error));
  EXPECT_EQ(error, ErrorCode());
  EXPECT_EQ(reader.position(), digest_and_body.data() + 20);
}

TEST(PayloadMarker, IsCompleteAndAbsentFromTheProgramImage) {
  const std::uint8_t* marker = PayloadMarker();
  EXPECT_EQ(marker[0], 0xAC);
  EXPECT_EQ(marker[kPayloadMarkerSize - 1], 0x17);
  EXPECT_EQ(PayloadMarker(), marker);

  // This test program links the payload code: its file must not contain the
  // marker, or an installer without payload would find its own data.
  const std::string self = ::testing::internal::GetArgvs()[0];
  const Bytes image = testing::ReadBytes(self);
  ASSERT_FALSE(image.empty()) << self;
  ASSERT_GT(image.size(), 100000u);
  EXPECT_EQ(FindLastOccurrence(image.data(), image.size(), marker, kPayloadMarkerSize), kNotFound);
}

}  // namespace
}  // namespace zevrino::desktop::installer
