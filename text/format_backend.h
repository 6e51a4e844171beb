#pragma once
// The C runtime calls that text::str_format is built on, gathered so that
// tests can count the passes and make any of them fail. Product code uses
// CrtFormatBackend() only.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace text::detail {

struct FormatBackend {
  // C99 vsnprintf semantics: the length the whole text needs (NUL excluded),
  // or a negative value with errno set.
  int (*vformat)(char* buffer, std::size_t size, const char* format, va_list args);
  void* (*allocate)(std::size_t size);  // nullptr on failure
  void (*release)(void* block);
};

const FormatBackend& CrtFormatBackend();

// text::str_format with the given backend.
std::string& StrFormatWith(const FormatBackend& backend, std::string& out, const char* format,
                           va_list args);

}  // namespace text::detail
