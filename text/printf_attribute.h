#pragma once
// ZV_PRINTF_FORMAT(format_index, first_argument_index) marks a printf-style
// function so that -Wformat checks its callers.
//
// The Windows build formats with MinGW's own C99 printf (__mingw_vsnprintf),
// not msvcrt's, so %zu, %lld and %hhd work there. GCC treats the plain
// "printf" archetype as msvcrt's dialect on MinGW targets and would reject
// %zu, so the MinGW build names the GNU dialect explicitly. Clang does not
// know "gnu_printf" and uses "printf", which is the same dialect on Linux.

#if defined(__MINGW32__) && !defined(__clang__)
#define ZV_PRINTF_FORMAT(format_index, first_argument_index) \
  __attribute__((format(gnu_printf, format_index, first_argument_index)))
#elif defined(__GNUC__) || defined(__clang__)
#define ZV_PRINTF_FORMAT(format_index, first_argument_index) \
  __attribute__((format(printf, format_index, first_argument_index)))
#else
#define ZV_PRINTF_FORMAT(format_index, first_argument_index)
#endif
