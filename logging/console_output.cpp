#include "logging/console_output.h"

#include <algorithm>

namespace logging {
namespace {

// Windows console colour values of codes 1..16 (bit 0 blue, bit 1 green,
// bit 2 red, bit 3 intensity).
constexpr std::uint16_t kColourValues[16] = {0x0, 0x4, 0x2, 0x6, 0x1, 0x5, 0x3, 0x7,
                                             0x8, 0xC, 0xA, 0xE, 0x9, 0xD, 0xB, 0xF};

constexpr unsigned char kResetCode = 65;

// The length of the next piece of [begin, end): at most kMaxWritePiece bytes,
// cut back so that no UTF-8 sequence is split between two pieces (a console
// converts each piece on its own). A run of more than three continuation
// bytes is not UTF-8 anyway and is cut at the limit.
std::size_t piece_length(const char* begin, const char* end) {
  const auto size = static_cast<std::size_t>(end - begin);
  if (size <= kMaxWritePiece) {
    return size;
  }
  std::size_t cut = kMaxWritePiece;
  for (int back = 0; back < 3 && (static_cast<unsigned char>(begin[cut]) & 0xC0) == 0x80; ++back) {
    --cut;
  }
  return (static_cast<unsigned char>(begin[cut]) & 0xC0) == 0x80 ? kMaxWritePiece : cut;
}

}  // namespace

std::uint16_t apply_colour_code(std::uint16_t current, std::uint16_t default_attributes,
                                unsigned char code) {
  if (code >= 1 && code <= 16) {
    return static_cast<std::uint16_t>((current & ~0x0Fu) | kColourValues[code - 1]);
  }
  if (code >= 33 && code <= 48) {
    return static_cast<std::uint16_t>((current & ~0xF0u) | (kColourValues[code - 33] << 4));
  }
  if (code == kResetCode) {
    return default_attributes;
  }
  return current;  // 17..32, 49..64 and above 65 are never produced
}

void ColourConsoleWriter::write(std::string_view text) {
  if (default_attributes_ == 0) {
    default_attributes_ = api_.read_default_attributes();
  }
  std::uint16_t current = default_attributes_;
  bool opened = false;
  bool console = false;

  std::size_t position = 0;
  for (;;) {
    const std::size_t run_end =
        std::min(text.find_first_of(std::string_view("\0\x01", 2), position), text.size());
    if (run_end > position) {
      if (!opened) {
        console = api_.open_stdout();
        opened = true;
      }
      if (current != applied_attributes_) {
        applied_attributes_ = current;
        api_.set_attributes(current);
      }
      for (std::size_t piece = position; piece < run_end;) {
        const std::size_t length = piece_length(text.data() + piece, text.data() + run_end);
        api_.write(text.data() + piece, length, console);
        piece += length;
      }
    }
    // A 0x00, a 0x01 without its code byte and the code 0 all end the text.
    if (run_end + 1 >= text.size() || text[run_end] == '\0') {
      return;
    }
    const auto code = static_cast<unsigned char>(text[run_end + 1]);
    if (code == 0) {
      return;
    }
    current = apply_colour_code(current, default_attributes_, code);
    position = run_end + 2;
  }
}

}  // namespace logging
