#include "logging/levels.h"

namespace logging {
namespace {

constexpr std::int32_t kLevelCount = 14;

constexpr char kLetters[kLevelCount] = {'F', 'A', 'E', 'W', 'I', 'S', 'D',
                                        '1', '2', '3', '4', '5', '6', 'V'};

// Code bytes after 0x01; 0 means the level has no colour.
constexpr unsigned char kColourCodes[kLevelCount] = {
    42,  // F: background bright red
    0,   // A
    10,  // E: bright red
    12,  // W: bright yellow
    16,  // I: bright white
    7,   // S: cyan
    3,   // D: green
    4,   // 1: yellow
    9,   // 2: grey
    15,  // 3: bright cyan
    11,  // 4: bright green
    0,   // 5
    0,   // 6
    14,  // V: bright magenta
};

// Two bytes per level, ready to append.
constexpr char kSequences[kLevelCount][2] = {
    {kColourControl, static_cast<char>(kColourCodes[0])},
    {kColourControl, static_cast<char>(kColourCodes[1])},
    {kColourControl, static_cast<char>(kColourCodes[2])},
    {kColourControl, static_cast<char>(kColourCodes[3])},
    {kColourControl, static_cast<char>(kColourCodes[4])},
    {kColourControl, static_cast<char>(kColourCodes[5])},
    {kColourControl, static_cast<char>(kColourCodes[6])},
    {kColourControl, static_cast<char>(kColourCodes[7])},
    {kColourControl, static_cast<char>(kColourCodes[8])},
    {kColourControl, static_cast<char>(kColourCodes[9])},
    {kColourControl, static_cast<char>(kColourCodes[10])},
    {kColourControl, static_cast<char>(kColourCodes[11])},
    {kColourControl, static_cast<char>(kColourCodes[12])},
    {kColourControl, static_cast<char>(kColourCodes[13])},
};

bool Known(std::int32_t level) {
  return level >= 0 && level < kLevelCount;
}

}  // namespace

char level_letter(std::int32_t level) {
  return Known(level) ? kLetters[level] : '?';
}

std::string_view level_colour(std::int32_t level) {
  if (!Known(level) || kColourCodes[level] == 0) {
    return {};
  }
  return std::string_view(kSequences[level], 2);
}

}  // namespace logging
