// The packer's progress: what the encoder reports, how a report is shown,
// and that it is shown only where the app was told a terminal listens.

#include <gtest/gtest.h>
#include <lzma.h>

#include <algorithm>
#include <sstream>

#include "tests/support/scratch_directory.h"
#include "tools/pack_installer/body_encoder.h"
#include "tools/pack_installer/pack_installer_app.h"
#include "tools/pack_installer/progress_line.h"

namespace zevrino::desktop::packer {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes CodeLike(std::size_t size) {
  Bytes data(size);
  std::uint32_t state = 12345;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1103515245 + 12345;
    data[i] = i % 7 == 0 ? 0xE8 : static_cast<std::uint8_t>((state >> 16) % 24);
  }
  return data;
}

TEST(ProgressLineTest, ShowsShareAndMegabytesRoundedDown) {
  const struct {
    std::uint64_t done, total;
    const char* line;
  } cases[] = {
      {0, 300000000, "\rcompressing:   0% (0.0 of 300.0 MB)"},
      {135299999, 300000000, "\rcompressing:  45% (135.2 of 300.0 MB)"},
      // Never "100%" or the total's figure before the end.
      {299999999, 300000000, "\rcompressing:  99% (299.9 of 300.0 MB)"},
      {300000000, 300000000, "\rcompressing: 100% (300.0 of 300.0 MB)"},
      {500, 400, "\rcompressing: 100% (0.0 of 0.0 MB)"},
      {0, 0, "\rcompressing: 100% (0.0 of 0.0 MB)"},
      {4294967295u, 4294967295u, "\rcompressing: 100% (4294.9 of 4294.9 MB)"},
      // Totals where done * 100 would overflow.
      {UINT64_MAX / 2, UINT64_MAX, "\rcompressing:  50% (9223372036854.7 of 18446744073709.5 MB)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatProgressLine(c.done, c.total), c.line) << c.done << " of " << c.total;
  }
}

// Reports come in steps, grow, end once at the total, and feeding the input
// in steps leaves the stream exactly what one-shot encoding gives.
TEST(ProgressLineTest, EncoderReportsStepsAndTheStreamIsUnchanged) {
  const Bytes input = CodeLike(3 * kProgressStep + 12345);
  BodyOptions options;
  options.preset = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
  options.progress = [&](std::uint64_t done, std::uint64_t total) {
    reports.emplace_back(done, total);
  };
  Bytes body;
  std::string error;
  ASSERT_TRUE(EncodeBody(input.data(), input.size(), options, &body, &error)) << error;

  ASSERT_GE(reports.size(), 3u);
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].second, input.size());
    if (i > 0) {
      EXPECT_GE(reports[i].first,
                reports[i - 1].first + (i + 1 < reports.size() ? kProgressStep : 1))
          << "report " << i;
    }
    EXPECT_EQ(reports[i].first == input.size(), i + 1 == reports.size()) << "report " << i;
  }

  // The same chain in one call of liblzma's buffer encoder.
  lzma_options_lzma lzma_options{};
  ASSERT_FALSE(lzma_lzma_preset(&lzma_options, 0));
  lzma_options.dict_size = kDictionarySize;
  lzma_options.ext_flags = 0;
  lzma_set_ext_size(lzma_options, input.size());
  lzma_options_bcj bcj{};
  const lzma_filter filters[] = {
      {LZMA_FILTER_X86, &bcj}, {LZMA_FILTER_LZMA1EXT, &lzma_options}, {LZMA_VLI_UNKNOWN, nullptr}};
  Bytes reference(input.size() + input.size() / 16 + 4096);
  std::size_t reference_size = 0;
  ASSERT_EQ(lzma_raw_buffer_encode(filters, nullptr, input.data(), input.size(), reference.data(),
                                   &reference_size, reference.size()),
            LZMA_OK);
  reference.resize(reference_size);
  ASSERT_GT(body.size(), reference.size());
  EXPECT_TRUE(Bytes(body.end() - static_cast<std::ptrdiff_t>(reference.size()), body.end()) ==
              reference);

  // Stored bodies have nothing to report.
  reports.clear();
  options.compression = Compression::kStored;
  body.clear();
  ASSERT_TRUE(EncodeBody(input.data(), input.size(), options, &body, &error)) << error;
  EXPECT_TRUE(reports.empty());
}

TEST(ProgressLineTest, AppShowsProgressOnlyWhenAsked) {
  installer::testing::ScratchDirectory dir;
  Bytes stub = {'M', 'Z'};
  stub.resize(512, 0);
  installer::testing::WriteBytes(dir.File("stub.exe"), stub);
  installer::testing::WriteBytes(dir.File("body.bin"), CodeLike(2 * kProgressStep + 7));
  const std::vector<std::string> args = {"pack",
                                         "--stub",
                                         dir.File("stub.exe"),
                                         "--output",
                                         dir.File("out.exe"),
                                         "--body",
                                         dir.File("body.bin"),
                                         "--preset",
                                         "0"};
  for (const bool terminal : {false, true}) {
    SCOPED_TRACE(terminal ? "terminal" : "redirected");
    std::ostringstream out, err;
    ASSERT_EQ(RunPackInstaller(args, out, err, terminal), kExitSuccess) << err.str();
    const std::string printed = out.str();
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << "the summary alone";
    if (!terminal) {
      EXPECT_EQ(err.str(), "");
      continue;
    }
    const std::string shown = err.str();
    // At least one step before the end, each line drawn over the last.
    EXPECT_EQ(shown.rfind("\rcompressing:  ", 0), 0u) << shown;
    EXPECT_GE(std::count(shown.begin(), shown.end(), '\r'), 2) << shown;
    const std::string end = "\rcompressing: 100% (2.0 of 2.0 MB)\n";
    ASSERT_GE(shown.size(), end.size());
    EXPECT_EQ(shown.substr(shown.size() - end.size()), end) << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1);
  }
}

}  // namespace
}  // namespace zevrino::desktop::packer
