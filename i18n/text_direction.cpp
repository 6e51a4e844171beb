#include "i18n/text_direction.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zevrino::desktop::i18n::gettext {

namespace {

struct code_point_range {
  char32_t first;
  char32_t last;
};

// The blocks of the scripts written right to left: Hebrew, Arabic, Syriac,
// Thaana, N'Ko, Samaritan, Mandaic and the Arabic supplements and
// extensions; the Hebrew and Arabic presentation forms; and those of the
// supplementary planes (Imperial Aramaic to Old Uyghur, Mende Kikakui,
// Adlam and the Arabic mathematical letters).
constexpr code_point_range right_to_left_blocks[] = {
    {0x0590, 0x08FF}, {0xFB1D, 0xFDFF}, {0xFE70, 0xFEFF}, {0x10800, 0x10FFF}, {0x1E800, 0x1EFFF},
};

// Punctuation, spaces and the direction marks: no letters of any script.
constexpr code_point_range general_punctuation = {0x2000, 0x206F};

bool in_range(char32_t c, const code_point_range& range) {
  return c >= range.first && c <= range.last;
}

bool is_right_to_left(char32_t c) {
  for (const code_point_range& block : right_to_left_blocks) {
    if (in_range(c, block)) {
      return true;
    }
  }
  return false;
}

// Any other letter: ASCII letters, and every character from the Latin-1
// letters on that is not punctuation. Symbols of other blocks are rare
// enough in catalogs not to matter against a sentence of letters.
bool is_other_letter(char32_t c) {
  if (c < 0x80) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  }
  return c >= 0xC0 && !is_right_to_left(c) && !in_range(c, general_punctuation);
}

// The next code point of UTF-8 `text` at `at`, which moves past it. A byte
// that does not start a well-formed sequence reads as itself (and counts as
// no letter).
char32_t next_code_point(const std::string& text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(at);
  const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (length == 1 || at + length > text.size()) {
    ++at;
    return lead;
  }
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) {
      ++at;
      return lead;
    }
    c = c << 6 | (byte(at + i) & 0x3F);
  }
  at += length;
  return c;
}

}  // namespace

bool written_right_to_left(const translation_table& table) {
  std::size_t right_to_left = 0;
  std::size_t other = 0;
  for (const auto& entry : table) {
    for (const std::string& form : entry.second) {
      for (std::size_t at = 0; at < form.size();) {
        const char32_t c = next_code_point(form, at);
        right_to_left += is_right_to_left(c) ? 1 : 0;
        other += is_other_letter(c) ? 1 : 0;
      }
    }
  }
  return right_to_left > other;
}

}  // namespace zevrino::desktop::i18n::gettext
