#include "logging/format_line.h"

#include <cstring>
#include <limits>

#include "logging/levels.h"
#include "text/format.h"

namespace logging {
namespace {

constexpr std::int64_t kTicksPerMillisecond = 10'000;
constexpr std::int64_t kSecondsPerDay = 86'400;

void AppendTwoDigits(std::string& out, std::int64_t value) {
  out.push_back(static_cast<char>('0' + value / 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

// Floor division, so that times before 1970 break down like later ones
// (one tick before 1970 is 23:59:59.999, not a negative millisecond).
std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  std::int64_t quotient = value / divisor;
  if (value % divisor < 0) {
    --quotient;
  }
  return quotient;
}

const char* BaseName(const char* file) {
  if (file == nullptr) {
    return "";
  }
  const char* slash = std::strrchr(file, '\\');
  return slash != nullptr ? slash + 1 : file;
}

}  // namespace

void append_timestamp(std::string& out, std::int64_t ticks) {
  if (ticks == std::numeric_limits<std::int64_t>::max() ||
      ticks == std::numeric_limits<std::int64_t>::min()) {
    out.append("00:00:00.000");
    return;
  }
  // The time of day is computed here rather than with gmtime: msvcrt's
  // gmtime fails (returns null) before 1970 and after the year 3000, and
  // only the time of day is printed.
  const std::int64_t milliseconds = FloorDiv(ticks, kTicksPerMillisecond);
  const std::int64_t seconds = FloorDiv(milliseconds, 1000);
  const std::int64_t second_of_day = seconds - FloorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
  const std::int64_t millisecond = milliseconds - seconds * 1000;

  AppendTwoDigits(out, second_of_day / 3600);
  out.push_back(':');
  AppendTwoDigits(out, second_of_day / 60 % 60);
  out.push_back(':');
  AppendTwoDigits(out, second_of_day % 60);
  out.push_back('.');
  out.push_back(static_cast<char>('0' + millisecond / 100));
  AppendTwoDigits(out, millisecond % 100);
}

std::string format_line(const record& entry, bool colour) {
  std::string line;
  line.reserve(100);

  append_timestamp(line, entry.time);
  line.push_back(' ');
  line.push_back(level_letter(entry.level));
  line.append(" [");

  const std::size_t location_start = line.size();
  text::str_format(line, "%s:%d", BaseName(entry.file), static_cast<int>(entry.line));
  const std::size_t location_size = line.size() - location_start;
  if (location_size < kLocationWidth) {
    line.append(kLocationWidth - location_size, ' ');
  }
  line.append("] ");

  if (colour) {
    line.append(level_colour(entry.level));
  }
  if (entry.level == 1) {
    line.append("Check failed: ");
  }
  line.append(entry.message);
  if (colour) {
    line.append(kColourReset);
  }
  line.push_back('\n');
  return line;
}

}  // namespace logging
