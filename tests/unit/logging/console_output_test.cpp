// Console output in colour runs, through a fake of the console calls.
#include "logging/console_output.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "logging/console_sink.h"
#include "logging/format_line.h"

namespace {

using logging::ColourConsoleWriter;

// Records every console call as one text: "default", "open", "attr 0c",
// "console <bytes>" or "file <bytes>".
class FakeConsole : public logging::ConsoleApi {
 public:
  std::uint16_t read_default_attributes() override {
    calls.push_back("default");
    const std::uint16_t value = defaults.empty() ? 0 : defaults.front();
    if (!defaults.empty()) {
      defaults.erase(defaults.begin());
    }
    return value;
  }
  bool open_stdout() override {
    calls.push_back("open");
    return is_console;
  }
  void set_attributes(std::uint16_t attributes) override {
    char text[16];
    std::snprintf(text, sizeof text, "attr %02x", attributes);
    calls.push_back(text);
  }
  void write(const char* data, std::size_t size, bool console) override {
    calls.push_back((console ? "console " : "file ") + std::string(data, size));
  }

  std::vector<std::uint16_t> defaults{0x07};  // answers of read_default_attributes, in turn
  bool is_console = true;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(ColourConsoleWriter, WritesRunsAndAppliesOnlyChangedAttributes) {
  FakeConsole console;
  ColourConsoleWriter writer(console);

  writer.write(std::string("a\x01\x0A") + "bc" + "\x01" + "A\n");
  EXPECT_EQ((Calls{"default", "open", "attr 07", "console a", "attr 0c", "console bc", "attr 07",
                   "console \n"}),
            console.calls);

  // The default is known now, and 07 is still applied: no attribute call for
  // the first run of the next line.
  console.calls.clear();
  writer.write("plain\n");
  EXPECT_EQ((Calls{"open", "console plain\n"}), console.calls);

  // A colour right at the start and two codes in a row: only the attributes
  // of runs that are written are applied.
  console.calls.clear();
  writer.write(std::string("\x01\x03\x01\x2A") + "x" + "\x01" + "A");
  EXPECT_EQ((Calls{"open", "attr c2", "console x"}), console.calls);
}

TEST(ColourConsoleWriter, ColourCodes) {
  struct Case {
    unsigned char code;
    std::uint16_t expected;
  };
  // From 0x1E (bright yellow on blue, no other bits).
  const Case cases[] = {
      {1, 0x10},  {2, 0x14},  {4, 0x16},  {5, 0x11},  {8, 0x17},  {9, 0x18},   {10, 0x1C},
      {16, 0x1F}, {33, 0x0E}, {34, 0x4E}, {41, 0x8E}, {42, 0xCE}, {48, 0xFE},  {65, 0x07},
      {17, 0x1E}, {32, 0x1E}, {49, 0x1E}, {64, 0x1E}, {66, 0x1E}, {255, 0x1E},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, logging::apply_colour_code(0x1E, 0x07, c.code)) << int{c.code};
  }
  // Only the colour nibble changes; the other attribute bits stay.
  EXPECT_EQ(0x840C, logging::apply_colour_code(0x8407, 0x07, 10));
}

TEST(ColourConsoleWriter, TextEndsAtNulAtCodeZeroAndAtALoneControlByte) {
  const std::string texts[] = {
      std::string("ab\0cd", 5),
      std::string("ab\x01\0cd", 6),
      std::string("ab\x01", 3),
  };
  for (const std::string& text : texts) {
    FakeConsole console;
    ColourConsoleWriter writer(console);
    writer.write(text);
    EXPECT_EQ((Calls{"default", "open", "attr 07", "console ab"}), console.calls);
  }
}

TEST(ColourConsoleWriter, SplitsLongRunsIntoPiecesOf8192Bytes) {
  FakeConsole console;
  console.is_console = false;  // redirected: WriteFile
  ColourConsoleWriter writer(console);
  const std::string run(20000, 'x');
  writer.write(run + "\x01\x0A" + std::string(8192, 'y'));

  std::vector<std::size_t> sizes;
  for (const std::string& call : console.calls) {
    if (call.rfind("file ", 0) == 0) {
      sizes.push_back(call.size() - 5);
    } else if (call.rfind("console ", 0) == 0) {
      ADD_FAILURE() << "console write on redirected output";
    }
  }
  EXPECT_EQ((std::vector<std::size_t>{8192, 8192, 3616, 8192}), sizes);

  // A console converts each piece to UTF-16 on its own, so no piece ends
  // inside a UTF-8 sequence: a 3-byte character across the limit moves whole
  // into the next piece, and the bytes still arrive in order.
  FakeConsole real;
  ColourConsoleWriter to_console(real);
  const std::string check = "\xE2\x9C\x93";  // U+2713
  const std::string text = std::string(8191, 'a') + check + std::string(8188, 'b') + check;
  to_console.write(text);
  std::string joined;
  sizes.clear();
  for (const std::string& call : real.calls) {
    if (call.rfind("console ", 0) == 0) {
      sizes.push_back(call.size() - 8);
      joined += call.substr(8);
    }
  }
  EXPECT_EQ((std::vector<std::size_t>{8191, 8191, 3}), sizes);
  EXPECT_EQ(joined, text);
}

// Without a console the default reads 0 and is read again on the next line
// until a console answers; then it stays.
TEST(ColourConsoleWriter, RereadsTheDefaultWhileThereIsNone) {
  FakeConsole console;
  console.defaults = {0, 0x1F, 0x02};
  ColourConsoleWriter writer(console);
  writer.write("1");
  writer.write("2");
  writer.write("3");
  EXPECT_EQ((Calls{"default", "open", "console 1", "default", "open", "attr 1f", "console 2",
                   "open", "console 3"}),
            console.calls);
}

TEST(ConsoleSink, WritesFormattedLinesWithItsColourFlag) {
  for (const bool colour : {false, true}) {
    auto fake = std::make_unique<FakeConsole>();
    FakeConsole& console = *fake;
    logging::console_sink sink(colour, std::move(fake));
    EXPECT_STREQ("console", sink.name());

    logging::record entry;
    entry.level = 2;
    entry.file = "/f";
    entry.line = 3;
    entry.message = "failed";
    sink.write(entry);

    std::string written;
    for (const std::string& call : console.calls) {
      if (call.rfind("console ", 0) == 0) {
        written += call.substr(8);
      }
    }
    EXPECT_EQ("00:00:00.000 E [/f:3                            ] failed\n", written);
    const bool red_applied =
        std::find(console.calls.begin(), console.calls.end(), "attr 0c") != console.calls.end();
    EXPECT_EQ(colour, red_applied);
  }
}

}  // namespace
