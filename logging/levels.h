#pragma once
// Level letters and console colour sequences.
//
// Levels run from 0 (fatal) to 13; the installer logs 2 (failure), 3 (a
// failure being worked around) and 4 (progress and success). Level 1 is a
// failed check and gets "Check failed: " in front of its message.
//
// A colour sequence is the control byte 0x01 followed by one code byte
// (console_output.h describes the codes). kColourReset returns to the
// console's default attributes.

#include <cstdint>
#include <string_view>

namespace logging {

inline constexpr char kColourControl = '\x01';
inline constexpr std::string_view kColourReset =
    "\x01"
    "A";

// The letter of a level. Levels outside 0..13 have none and show as '?'
// (a sink whose threshold is 14 lets level 14 through).
char level_letter(std::int32_t level);

// The level's colour sequence (two bytes) or an empty view when it has none.
std::string_view level_colour(std::int32_t level);

}  // namespace logging
