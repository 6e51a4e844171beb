#pragma once
// The text of one log line:
//
//   HH:MM:SS.mmm L [location                        ] message\n
//
// - time of day in UTC with milliseconds, no date; "00:00:00.000" for the
//   two 64-bit extremes (records built without a time);
// - L, the level letter;
// - location: the file name after its last backslash, ":" and the line,
//   padded with spaces to 32 characters; a longer one is kept whole;
// - with colour on, the level's colour sequence before the message and the
//   reset sequence after it (a level without colour still gets the reset);
// - level 1 adds "Check failed: " in front of the message.

#include <cstdint>
#include <string>

#include "logging/record.h"

namespace logging {

inline constexpr std::size_t kLocationWidth = 32;

std::string format_line(const record& entry, bool colour);

// Appends the 12-character "HH:MM:SS.mmm" of a tick count.
void append_timestamp(std::string& out, std::int64_t ticks);

}  // namespace logging
