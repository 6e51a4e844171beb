#include "i18n/count_format.h"

#include <cstddef>

namespace zevrino::desktop::i18n::gettext {

namespace {

struct conversion_flags {
  bool left_align = false;
  bool zero_pad = false;
  char sign = 0;  // '+', ' ' or none
  std::size_t width = 0;
};

// Widths beyond this are treated as malformed rather than allocated.
constexpr std::size_t max_width = 4096;

// Appends `value` in decimal as `flags` ask.
void append_decimal(std::int64_t value, const conversion_flags& flags, std::string& out) {
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  char digits[24];
  std::size_t length = 0;
  do {
    digits[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);

  const char sign = value < 0 ? '-' : flags.sign;
  const std::size_t body = (sign != 0 ? 1 : 0) + length;
  const std::size_t padding = flags.width > body ? flags.width - body : 0;

  if (!flags.left_align && !flags.zero_pad) {
    out.append(padding, ' ');
  }
  if (sign != 0) {
    out += sign;
  }
  if (!flags.left_align && flags.zero_pad) {
    out.append(padding, '0');
  }
  while (length != 0) {
    out += digits[--length];
  }
  if (flags.left_align) {
    out.append(padding, ' ');
  }
}

// Reads one conversion starting after the '%' at format[pos]. On success
// appends its output and returns the index after it; otherwise returns pos.
std::size_t convert(const std::string& format, std::size_t pos, std::int64_t count,
                    std::string& out) {
  std::size_t i = pos;
  if (format.compare(i, 2, "1$") == 0) {
    i += 2;
  }
  conversion_flags flags;
  for (; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '-') {
      flags.left_align = true;
    } else if (c == '0') {
      flags.zero_pad = true;
    } else if (c == '+') {
      flags.sign = '+';
    } else if (c == ' ') {
      if (flags.sign == 0) {
        flags.sign = ' ';
      }
    } else {
      break;
    }
  }
  for (; i < format.size() && format[i] >= '0' && format[i] <= '9'; ++i) {
    flags.width = flags.width * 10 + static_cast<std::size_t>(format[i] - '0');
    if (flags.width > max_width) {
      return pos;
    }
  }
  if (i >= format.size() || (format[i] != 'd' && format[i] != 'i')) {
    return pos;
  }
  append_decimal(count, flags, out);
  return i + 1;
}

}  // namespace

std::string format_count(const std::string& format, std::int64_t count) {
  std::string out;
  out.reserve(format.size() + 20);
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i < format.size() && format[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    const std::size_t next = convert(format, i, count, out);
    if (next == i) {
      out += '%';  // not a conversion we format: keep the text as it is
    }
    i = next;
  }
  return out;
}

}  // namespace zevrino::desktop::i18n::gettext
