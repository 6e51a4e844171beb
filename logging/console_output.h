#pragma once
// Writing text that carries colour sequences to standard output.
//
// The text is cut into runs at the bytes 0x00 and 0x01. A 0x00 ends the
// text. 0x01 is followed by a code byte:
//   0        ends the text
//   1..16    foreground colour: the low four attribute bits become
//            black, red, green, yellow, blue, magenta, cyan, white, grey,
//            bright red, bright green, bright yellow, bright blue,
//            bright magenta, bright cyan, bright white (in that order)
//   33..48   background colour: bits 4..7 become colour (code - 32) above
//   65 ('A') back to the console's default attributes
//   others   no change
// Each non-empty run is written with the attributes current at its start,
// in pieces of at most kMaxWritePiece bytes that never split a UTF-8
// sequence. The attributes are applied only
// when they differ from the last ones applied.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace logging {

inline constexpr std::size_t kMaxWritePiece = 8192;

// The console calls that the writer makes: Win32 on Windows, write(2) and
// ANSI escape sequences on Linux, a recording fake in tests.
class ConsoleApi {
 public:
  virtual ~ConsoleApi() = default;
  // The attributes of the standard-output screen buffer, or 0 when standard
  // output is not a console.
  virtual std::uint16_t read_default_attributes() = 0;
  // Fetches the standard-output handle and tells whether it is a console
  // (false: redirected to a file or pipe, or absent). Later calls to write()
  // use that handle.
  virtual bool open_stdout() = 0;
  virtual void set_attributes(std::uint16_t attributes) = 0;
  // Writes one piece of UTF-8 text; failures are ignored. A console gets it
  // as UTF-16, redirected output as the bytes themselves.
  virtual void write(const char* data, std::size_t size, bool console) = 0;
};

// Keeps the two attribute values that persist between lines: the console's
// default (read on first use, again while it is 0) and the last attributes
// applied (initially 0). Not thread-safe: its owner serialises calls.
class ColourConsoleWriter {
 public:
  explicit ColourConsoleWriter(ConsoleApi& api) : api_(api) {}

  void write(std::string_view text);

 private:
  ConsoleApi& api_;
  std::uint16_t default_attributes_ = 0;
  std::uint16_t applied_attributes_ = 0;
};

// The attributes after code byte `code` (0x01 <code>) applied to `current`.
std::uint16_t apply_colour_code(std::uint16_t current, std::uint16_t default_attributes,
                                unsigned char code);

}  // namespace logging
