#pragma once
// Conversions between UTF-8 and UTF-16 for the file operations.

#include <cstddef>
#include <string>

#include "base/path_utf8.h"

namespace zevrino::desktop::installer {

// Converts a UTF-8 path to UTF-16. False (and *path empty) for null,
// invalid UTF-8 or a path that needs more than kMaxWidePath units with its
// terminating NUL.
bool Utf8ToWidePath(const char* utf8, std::wstring* path);

// UTF-8 of any length to UTF-16, for command lines and other text that is
// not bound to kMaxWidePath. Null, empty or invalid UTF-8 gives an empty
// string.
std::wstring Utf8ToWide(const char* utf8);
std::wstring Utf8ToWide(const std::string& text);

// UTF-16 to UTF-8; unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// A path as it is written into a log line: in the system's ANSI code page
// (the code page of the file APIs) when that page represents every character
// exactly, otherwise in UTF-8, so that no name is lost or garbled into '?'.
std::string WideToLogText(const std::wstring& text);

}  // namespace zevrino::desktop::installer
