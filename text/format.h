#pragma once
// printf-style formatting into std::string.
//
//   std::string s = text::format("%s:%d", file, line);
//   text::str_format(s, " and %zu more", count);   // appends
//
// The dialect is C99 printf on both builds (MinGW's own printf on Windows,
// glibc on Linux). Positional conversions ("%1$d") are not supported by
// MinGW's printf; code that needs them handles them itself. MinGW's printf
// also builds a numeric conversion in a stack buffer as wide as its field:
// keep widths and precisions of numbers small (a width in the millions
// overflows the stack); wide string fields are fine.
//
// Contract:
// - Never throws. Failures write one message to standard error (no line
//   feed) and append nothing:
//     runtime error     "text::format(): Unable to printf the requested string due to error
//     '<strerror>'." text too long     "text::format(): Unable to printf the requested string due
//     to size." no memory         "text::format(): Unable to allocate the requested string due to
//     size."
//   A text is too long when it needs more than kMaxFormattedSize bytes
//   including its terminating NUL.
// - errno and the Windows last-error value are the same after the call as
//   before it, on every path.
// - A format that the C runtime reports as an invalid parameter ends the
//   process (message on standard error, then abort()).
// - Texts below kStackBufferSize bytes are formatted once into a stack
//   buffer; longer ones are measured there and formatted a second time into
//   a heap buffer of exactly the needed size.

#include <cstdarg>
#include <cstddef>
#include <string>
#include <type_traits>

#include "text/printf_attribute.h"

namespace text {

inline constexpr std::size_t kStackBufferSize = 1024;
inline constexpr std::size_t kMaxFormattedSize = 0x2000000;  // 32 MiB, NUL included

std::string format(const char* format, ...) ZV_PRINTF_FORMAT(1, 2);

// Appends to `out` and returns it.
std::string& str_format(std::string& out, const char* format, ...) ZV_PRINTF_FORMAT(2, 3);

// The core of the two above, taking an argument list. `args` is not
// consumed: the function works on copies, so the caller still owns it and
// must va_end it.
//
// It has its own name rather than being a str_format overload: MinGW's
// va_list is a plain char*, so an overload on it would capture calls such as
// str_format(out, "%s", path) with a char* argument and read that text as an
// argument list.
std::string& str_vformat(std::string& out, const char* format, va_list args) ZV_PRINTF_FORMAT(2, 0);

#if !defined(_WIN32)
// Where va_list is a distinct type, passing one to the variadic overload is
// caught at compile time; use str_vformat.
std::string& str_format(std::string& out, const char* format, std::decay_t<va_list> args) = delete;
#endif

}  // namespace text
