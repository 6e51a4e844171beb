#include "text/format.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>

#include "text/error_state.h"
#include "text/format_backend.h"
#include "text/invalid_parameter.h"

namespace text {
namespace detail {
namespace {

int CrtVformat(char* buffer, std::size_t size, const char* format, va_list args) {
#if defined(__MINGW32__)
  // MinGW's own printf: C99 return values and the C99 length modifiers on
  // every Windows version, matching the gnu_printf format checks.
  return __mingw_vsnprintf(buffer, size, format, args);
#else
  return std::vsnprintf(buffer, size, format, args);
#endif
}

void ReportRuntimeError() {
  std::fprintf(stderr, "text::format(): Unable to printf the requested string due to error '%s'.",
               std::strerror(errno));
}

void ReportTooLong() {
  std::fprintf(stderr, "text::format(): Unable to printf the requested string due to size.");
}

void ReportNoMemory() {
  std::fprintf(stderr, "text::format(): Unable to allocate the requested string due to size.");
}

// Appends without letting an exception out: a string that cannot grow is
// reported like a failed allocation and left as it was.
void AppendOrReport(std::string& out, const char* text, std::size_t size) {
  try {
    out.append(text, size);
  } catch (const std::exception&) {
    ReportNoMemory();
  }
}

// Formats `format` once into a block of `size` bytes. Returns the vformat
// result; on success the text is in `block`.
int FormatInto(const FormatBackend& backend, char* block, std::size_t size, const char* format,
               va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int result = backend.vformat(block, size, format, copy);
  va_end(copy);
  return result;
}

}  // namespace

const FormatBackend& CrtFormatBackend() {
  static constexpr FormatBackend kBackend{CrtVformat, std::malloc, std::free};
  return kBackend;
}

std::string& StrFormatWith(const FormatBackend& backend, std::string& out, const char* format,
                           va_list args) {
  // The caller's values are saved before anything else runs and put back
  // after everything else has finished: MinGW's thread_local variables (the
  // guard's slot) are reached through TlsGetValue, which resets the
  // last-error value.
  PreservedErrorState error_state;
  InvalidParameterGuard guard(format);
  if (format == nullptr) {
    // What msvcrt.dll reports as an invalid parameter; glibc would crash.
    ReportInvalidParameter();
  }
  error_state.Clear();

  char stack_buffer[kStackBufferSize];
  int needed = FormatInto(backend, stack_buffer, sizeof stack_buffer, format, args);
  if (needed < 0) {
    ReportRuntimeError();
    return out;
  }
  if (static_cast<std::size_t>(needed) < sizeof stack_buffer) {
    AppendOrReport(out, stack_buffer, static_cast<std::size_t>(needed));
    return out;
  }

  // The text did not fit: format again into a block of exactly the needed
  // size. The arguments may need more on the second pass (a string another
  // thread grows meanwhile), so repeat until a pass fits.
  for (;;) {
    const std::size_t size = static_cast<std::size_t>(needed) + 1;
    if (size > kMaxFormattedSize) {
      ReportTooLong();
      return out;
    }
    char* block = static_cast<char*>(backend.allocate(size));
    if (block == nullptr) {
      ReportNoMemory();
      return out;
    }
    const int result = FormatInto(backend, block, size, format, args);
    if (result >= 0 && static_cast<std::size_t>(result) < size) {
      AppendOrReport(out, block, static_cast<std::size_t>(result));
      backend.release(block);
      return out;
    }
    backend.release(block);
    if (result < 0) {
      ReportRuntimeError();
      return out;
    }
    needed = result;
  }
}

}  // namespace detail

std::string& str_vformat(std::string& out, const char* format, va_list args) {
  return detail::StrFormatWith(detail::CrtFormatBackend(), out, format, args);
}

std::string& str_format(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  str_vformat(out, format, args);
  va_end(args);
  return out;
}

std::string format(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  str_vformat(out, format, args);
  va_end(args);
  return out;
}

}  // namespace text
