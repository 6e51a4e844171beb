#pragma once
// Backwards Boyer-Moore search: finds the LAST occurrence of a pattern by
// scanning the text from its end towards its start. The bad-character and
// good-suffix tables are built over the pattern read backwards, so the search
// is the ordinary forward algorithm applied to the reversed text and pattern.
// When the pattern lies near the end of the text (the payload marker sits
// just before the signature) only a few windows are examined.

#include <cstddef>
#include <cstdint>

namespace zevrino::desktop::installer {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// Returns the offset in text of the first byte of the last occurrence of the
// pattern, or kNotFound. An empty pattern is never found. pattern_size must
// be at most 255 (the payload marker has 12 bytes).
std::size_t FindLastOccurrence(const std::uint8_t* text, std::size_t text_size,
                               const std::uint8_t* pattern, std::size_t pattern_size);

}  // namespace zevrino::desktop::installer
