// The exact text of log lines.
#include "logging/format_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

using logging::format_line;
using logging::record;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

record Make(std::int64_t time, int level, const char* file, int line, std::string message) {
  record r;
  r.time = time;
  r.level = level;
  r.file = file;
  r.line = line;
  r.message = std::move(message);
  return r;
}

TEST(FormatLine, Timestamps) {
  struct Case {
    std::int64_t ticks;
    const char* expected;
  };
  const Case cases[] = {
      {kMax, "00:00:00.000"},  // records without a time
      {kMin, "00:00:00.000"},
      {0, "00:00:00.000"},
      {17000000001230005, "22:13:20.123"},  // 2023-11-14 22:13:20.123 UTC
      {86399999 * 10000LL + 9999, "23:59:59.999"},
      {86400000 * 10000LL, "00:00:00.000"},  // the next day
      {kMax - 1, "02:48:05.477"},            // far beyond what gmtime handles
      {kMin + 1, "21:11:54.522"},
      {-1, "23:59:59.999"},  // one tick before 1970
      {-15000000, "23:59:58.500"},
  };
  for (const Case& c : cases) {
    std::string out;
    logging::append_timestamp(out, c.ticks);
    EXPECT_EQ(c.expected, out) << c.ticks;
  }
}

TEST(FormatLine, WholeLinesWithoutColour) {
  struct Case {
    record entry;
    std::string expected;
  };
  const Case cases[] = {
      {Make(kMax, 4, "/f", 712, "Zevrino Installer - done"),
       "00:00:00.000 I [/f:712                          ] Zevrino Installer - done\n"},
      // Exactly 32 characters of location: no padding.
      {Make(0, 2, "C:\\build\\src\\installer_file_operations.c", 1234, "m"),
       "00:00:00.000 E [installer_file_operations.c:1234] m\n"},
      // Longer ones stay whole.
      {Make(0, 3, "D:\\x\\a_rather_long_source_file_name_here.cpp", 98765, "w"),
       "00:00:00.000 W [a_rather_long_source_file_name_here.cpp:98765] w\n"},
      // Everything after the last backslash; a trailing one leaves nothing.
      {Make(0, 4, "a\\b\\", 1, ""), "00:00:00.000 I [:1                              ] \n"},
      {Make(0, 4, "dir/with/slashes.c", -5, "x"),
       "00:00:00.000 I [dir/with/slashes.c:-5           ] x\n"},
      // A failed check carries its prefix.
      {Make(0, 1, "/f", 9, "size > 0"),
       "00:00:00.000 A [/f:9                            ] Check failed: size > 0\n"},
      // A level outside the table (14 passes a threshold of 14).
      {Make(0, 14, "/f", 1, "odd"), "00:00:00.000 ? [/f:1                            ] odd\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, format_line(c.entry, false));
  }
}

TEST(FormatLine, LevelLettersAndNoControlBytesWithoutColour) {
  const std::string letters = "FAEWISD123456V";
  for (int level = 0; level < 14; ++level) {
    const std::string line = format_line(Make(0, level, "/f", 1, "m"), false);
    EXPECT_EQ(letters[static_cast<std::size_t>(level)], line[13]) << level;
    EXPECT_EQ(std::string::npos, line.find('\x01')) << level;
  }
}

TEST(FormatLine, ColourSequencesAroundTheMessage) {
  const std::string prefix = "00:00:00.000 ";
  const std::string location = " [/f:7                            ] ";
  struct Case {
    int level;
    std::string expected;
  };
  const Case cases[] = {
      {2, prefix + "E" + location + "\x01\x0A" + "boom" + "\x01" + "A\n"},
      {0, prefix + "F" + location + "\x01\x2A" + "boom" + "\x01" + "A\n"},
      {4, prefix + "I" + location + "\x01\x10" + "boom" + "\x01" + "A\n"},
      {13, prefix + "V" + location + "\x01\x0E" + "boom" + "\x01" + "A\n"},
      // No colour of its own, but still the reset.
      {1, prefix + "A" + location + "Check failed: boom" + "\x01" + "A\n"},
      {11, prefix + "5" + location + "boom" + "\x01" + "A\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, format_line(Make(0, c.level, "/f", 7, "boom"), true)) << c.level;
  }
}

}  // namespace
