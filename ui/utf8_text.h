#pragma once
// Cutting UTF-8 text to a fixed buffer without splitting a character.

#include <cstddef>
#include <string>

namespace zevrino::desktop::installer {

// The length of the longest prefix of `text` of at most `max_bytes` bytes
// that ends at a character boundary (never inside a multi-byte sequence).
std::size_t Utf8PrefixLength(const std::string& text, std::size_t max_bytes);

// `text` cut to Utf8PrefixLength(text, max_bytes).
std::string TruncateUtf8(const std::string& text, std::size_t max_bytes);

// The longest whole-character prefix of `text` whose UTF-16 form has at most
// `max_units` units (characters beyond U+FFFF take two).
std::string TruncateUtf8ToUtf16Units(const std::string& text, std::size_t max_units);

}  // namespace zevrino::desktop::installer
