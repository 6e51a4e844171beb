#pragma once
// UTF-8 and wide text (UTF-16 under Windows, UTF-32 on Linux), converted
// here rather than by the product's conversions, which the tests check.
// What is not valid UTF-8 or UTF-16 becomes U+FFFD, as under Windows.

#include <string>

namespace zevrino::desktop::installer::testing {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace zevrino::desktop::installer::testing
