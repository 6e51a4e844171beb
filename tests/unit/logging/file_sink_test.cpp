// The file sink against real files.
#include "logging/file_sink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "logging/format_line.h"
#include "tests/support/scratch_directory.h"

namespace {

using zevrino::desktop::installer::testing::kTextModeNewline;
using zevrino::desktop::installer::testing::ReadText;
using zevrino::desktop::installer::testing::ScratchDirectory;
using zevrino::desktop::installer::testing::WriteText;

logging::record Make(int line, std::string message) {
  logging::record r;
  r.level = 4;
  r.file = "/f";
  r.line = line;
  r.message = std::move(message);
  return r;
}

std::string Stored(int line, const std::string& message) {
  std::string text = logging::format_line(Make(line, message), false);
  text.pop_back();
  return text + kTextModeNewline;
}

TEST(FileSink, AppendsOrTruncatesAndFlushesEveryLine) {
  ScratchDirectory dir;
  const std::string path = dir.File("install.log");
  for (const bool append : {true, false}) {
    WriteText(path, "earlier run\n");
    const std::string kept = append ? "earlier run\n" : "";
    logging::file_sink sink(path.c_str(), append);
    ASSERT_TRUE(sink.is_open());
    EXPECT_EQ(path, sink.name());

    sink.write(Make(1, "first"));
    // On disk before write() returned, while the sink still holds the file.
    EXPECT_EQ(kept + Stored(1, "first"), ReadText(path));
    sink.write(Make(2, "second"));
    EXPECT_EQ(kept + Stored(1, "first") + Stored(2, "second"), ReadText(path));
  }
}

// Another process (here another stream) may append while the sink holds the
// file; every line lands at the end of what is there.
TEST(FileSink, SharesTheFileWithOtherWriters) {
  ScratchDirectory dir;
  const std::string path = dir.File("shared.log");
  logging::file_sink sink(path.c_str(), true);
  sink.write(Make(1, "one"));
  {
    std::ofstream other(std::filesystem::u8path(path), std::ios::app | std::ios::binary);
    ASSERT_TRUE(other.is_open());
    other << "other writer\n";
  }
  sink.write(Make(2, "two"));
  EXPECT_EQ(Stored(1, "one") + "other writer\n" + Stored(2, "two"), ReadText(path));
}

TEST(FileSink, OpensNonAsciiUtf8Paths) {
  ScratchDirectory dir;
  const std::string path = dir.File(
      "\xD0\xB6\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB-"
      "\xC3\xBC-\xE6\x97\xA5\xE6\x9C\xAC.log");  // журнал-ü-日本
  {
    logging::file_sink sink(path.c_str(), false);
    ASSERT_TRUE(sink.is_open());
    sink.write(Make(3, "\xC3\xA9t\xC3\xA9"));  // the message passes through as UTF-8
  }
  EXPECT_EQ(Stored(3, "\xC3\xA9t\xC3\xA9"), ReadText(path));
}

TEST(FileSink, UnopenablePathDiscardsLines) {
  ScratchDirectory dir;
  std::vector<std::string> paths = {dir.File("missing-dir") + "/sub/x.log"};
#if defined(_WIN32)
  // Not UTF-8, so it has no UTF-16 form (Linux would take the bytes as they are).
  paths.push_back(dir.File("a") + "\xFF\xFE.log");
#endif
  for (const std::string& path : paths) {
    logging::file_sink sink(path.c_str(), true);
    EXPECT_FALSE(sink.is_open());
    EXPECT_EQ(path, sink.name());
    sink.write(Make(1, "dropped"));
    sink.flush();
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::u8path(dir.File("missing-dir"))));
}

}  // namespace
