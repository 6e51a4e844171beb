#include "tools/pack_installer/body_encoder.h"

#include <gtest/gtest.h>
#include <lzma.h>

#include <random>

#include "payload/payload_decoder.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::packer {
namespace {

using installer::ErrorCode;
using installer::PayloadReader;

enum class Shape { kZeros, kRandom, kCode, kText };

// Inputs that exercise different paths: long matches, literals only, and
// code with many CALL/JMP opcodes that the x86 filter rewrites.
std::vector<std::uint8_t> MakeInput(Shape shape, std::size_t size) {
  std::vector<std::uint8_t> data(size);
  std::mt19937 random(static_cast<std::uint32_t>(size * 31 + static_cast<int>(shape)));
  for (std::size_t i = 0; i < size; ++i) {
    switch (shape) {
      case Shape::kZeros:
        data[i] = 0;
        break;
      case Shape::kRandom:
        data[i] = static_cast<std::uint8_t>(random());
        break;
      case Shape::kCode:
        data[i] =
            (i % 7 == 0) ? (i % 14 == 0 ? 0xE8 : 0xE9) : static_cast<std::uint8_t>(random() % 16);
        break;
      case Shape::kText:
        data[i] = static_cast<std::uint8_t>("installer payload body "[i % 23]);
        break;
    }
  }
  return data;
}

std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& input,
                                 const BodyOptions& options) {
  std::vector<std::uint8_t> body;
  std::string error;
  EXPECT_TRUE(EncodeBody(input.data(), input.size(), options, &body, &error)) << error;
  return body;
}

struct Header {
  std::uint32_t u = 0;
  std::uint32_t f = 0;
  std::size_t size = 0;  // bytes taken by U and F
};

Header ReadHeader(const std::vector<std::uint8_t>& body) {
  PayloadReader reader(body.data(), body.data() + body.size());
  Header header;
  EXPECT_TRUE(reader.ReadVarint(&header.u));
  EXPECT_TRUE(reader.ReadVarint(&header.f));
  header.size = static_cast<std::size_t>(reader.position() - body.data());
  return header;
}

BodyOptions Lzma(std::uint32_t preset, BranchFilter filter, bool extreme = false) {
  BodyOptions options;
  options.compression = Compression::kLzma;
  options.preset = preset;
  options.extreme = extreme;
  options.filter = filter;
  return options;
}

BodyOptions Stored() {
  BodyOptions options;
  options.compression = Compression::kStored;
  return options;
}

// Every encoding at every size and shape decodes back to its input with the
// installer's own decoder. Sizes around 5 cover the x86 filter's tail, which
// it leaves unconverted.
TEST(BodyEncoderTest, RoundTripsThroughThePayloadDecoder) {
  std::vector<std::pair<Shape, std::size_t>> inputs;
  for (Shape shape : {Shape::kZeros, Shape::kRandom, Shape::kCode, Shape::kText}) {
    for (std::size_t size : {5, 4099, 70000}) {
      inputs.emplace_back(shape, size);
    }
  }
  for (std::size_t size : {1, 4, 6, 100, 1 << 20}) {
    inputs.emplace_back(Shape::kCode, size);
  }
  const BodyOptions encodings[] = {Stored(), Lzma(6, BranchFilter::kX86),
                                   Lzma(0, BranchFilter::kNone), Lzma(1, BranchFilter::kX86)};
  for (const BodyOptions& options : encodings) {
    for (const auto& [shape, size] : inputs) {
      SCOPED_TRACE(testing::Message() << "size " << size << " shape " << static_cast<int>(shape)
                                      << " preset " << options.preset << " stored "
                                      << (options.compression == Compression::kStored));
      const std::vector<std::uint8_t> input = MakeInput(shape, size);
      const std::vector<std::uint8_t> body = Encode(input, options);
      const Header header = ReadHeader(body);
      if (options.compression == Compression::kStored) {
        EXPECT_EQ(header.u, 0u);
        EXPECT_EQ(body.size(), header.size + size);
      } else {
        EXPECT_EQ(header.u, size);
        EXPECT_EQ(header.f, static_cast<std::uint32_t>(options.filter));
      }
      std::vector<std::uint8_t> decoded;
      ErrorCode error;
      ASSERT_TRUE(installer::DecodePayloadBody(
          PayloadReader(body.data(), body.data() + body.size()), &decoded, error))
          << error.value();
      ASSERT_EQ(decoded, input);
    }
  }
}

// The encoder knows the size, so the stream must end without an end marker.
// liblzma's LZMA1EXT decoder without ALLOW_EOPM rejects a marker, and it also
// proves that the stream produces exactly U bytes and nothing is left over.
TEST(BodyEncoderTest, StreamHasNoEndMarkerAndFixedProperties) {
  const BodyOptions encodings[] = {Lzma(6, BranchFilter::kX86), Lzma(0, BranchFilter::kNone),
                                   Lzma(9, BranchFilter::kX86, true)};
  for (const BodyOptions& options : encodings) {
    const std::vector<std::uint8_t> input = MakeInput(Shape::kCode, 50000);
    const std::vector<std::uint8_t> body = Encode(input, options);
    const Header header = ReadHeader(body);
    const std::uint8_t* properties = body.data() + header.size;
    // lc 3, lp 0, pb 2 and a 32 MiB dictionary whatever the preset.
    EXPECT_EQ(std::vector<std::uint8_t>(properties, properties + 5),
              (std::vector<std::uint8_t>{0x5D, 0x00, 0x00, 0x00, 0x02}));

    lzma_options_lzma lzma{};
    ASSERT_FALSE(lzma_lzma_preset(&lzma, 6));
    lzma.dict_size = kDictionarySize;
    lzma.ext_flags = 0;  // an end marker is a data error
    lzma_set_ext_size(lzma, input.size());
    lzma_options_bcj bcj{};
    lzma_filter filters[3];
    std::size_t n = 0;
    if (options.filter == BranchFilter::kX86) {
      filters[n++] = {LZMA_FILTER_X86, &bcj};
    }
    filters[n++] = {LZMA_FILTER_LZMA1EXT, &lzma};
    filters[n] = {LZMA_VLI_UNKNOWN, nullptr};

    std::vector<std::uint8_t> decoded(input.size() + 64);
    std::size_t in_pos = 0, out_pos = 0;
    const std::uint8_t* stream = properties + 5;
    const std::size_t stream_size = body.size() - header.size - 5;
    ASSERT_EQ(lzma_raw_buffer_decode(filters, nullptr, stream, &in_pos, stream_size, decoded.data(),
                                     &out_pos, decoded.size()),
              LZMA_OK);
    EXPECT_EQ(in_pos, stream_size);
    ASSERT_EQ(out_pos, input.size());
    decoded.resize(out_pos);
    EXPECT_EQ(decoded, input);
  }
}

// U = 0 means "stored", so an empty input cannot be written compressed; it is
// stored instead, which decodes to the same nothing.
TEST(BodyEncoderTest, EmptyInputIsStoredWhateverTheOptions) {
  for (const BodyOptions& options : {Stored(), Lzma(6, BranchFilter::kX86)}) {
    const std::vector<std::uint8_t> body = Encode({}, options);
    EXPECT_EQ(body, (std::vector<std::uint8_t>{0, 0}));
    std::vector<std::uint8_t> decoded;
    ErrorCode error;
    EXPECT_TRUE(installer::DecodePayloadBody(PayloadReader(body.data(), body.data() + body.size()),
                                             &decoded, error));
    EXPECT_TRUE(decoded.empty());
  }
}

TEST(BodyEncoderTest, BadPresetFailsAndLeavesOutputAsItWas) {
  const std::vector<std::uint8_t> input = MakeInput(Shape::kText, 100);
  std::vector<std::uint8_t> out = {1, 2, 3};
  std::string error;
  EXPECT_FALSE(EncodeBody(input.data(), input.size(), Lzma(10, BranchFilter::kX86), &out, &error));
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_NE(error.find("preset"), std::string::npos);
}

}  // namespace
}  // namespace zevrino::desktop::packer
