// text::format and text::str_format against the real C runtime.
#include "text/format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <string>

#include "text/error_state.h"

namespace {

struct Case {
  std::string expected;
  std::string actual;
};

// Conversions that differ between C99 printf and msvcrt's own: the Windows
// build must format them as C99 does, like the host build.
TEST(Format, UsesC99Conversions) {
  const Case cases[] = {
      {"42|-7|ab  |  cd", text::format("%d|%i|%-4s|%4s", 42, -7, "ab", "cd")},
      {"18446744073709551615", text::format("%zu", SIZE_MAX)},
      {"-9223372036854775808", text::format("%lld", static_cast<long long>(INT64_MIN))},
      {"-1", text::format("%hhd", static_cast<signed char>(-1))},
      {"2.50", text::format("%.2Lf", 2.5L)},
      {"0x1f|1F|017", text::format("%#x|%X|%#o", 31, 31, 15)},
      {"100%", text::format("%d%%", 100)},
      {"", text::format("%s", "")},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, c.actual);
  }
}

TEST(Format, StrFormatAppendsAndReturnsTheSameString) {
  std::string out = "prefix:";
  std::string& returned = text::str_format(out, "%s=%u", "key", 7u);
  EXPECT_EQ(&out, &returned);
  EXPECT_EQ("prefix:key=7", out);

  // A single char* argument is formatted, not taken for an argument list
  // (MinGW's va_list is a char*).
  char buffer[] = "C:\\dir";
  char* mutable_text = buffer;
  std::string path;
  text::str_format(path, "%s", mutable_text);
  EXPECT_EQ("C:\\dir", path);

  // A long text appended through the second pass keeps the prefix too.
  text::str_format(out, "%2000s", "x");
  ASSERT_EQ(12u + 2000u, out.size());
  EXPECT_EQ("prefix:key=7", out.substr(0, 12));
  EXPECT_EQ('x', out.back());
  EXPECT_EQ(' ', out[12]);
}

TEST(Format, SizesAroundTheStackBuffer) {
  for (const int size : {0, 1, 1022, 1023, 1024, 1025, 4096, 100000}) {
    std::string text = text::format("%0*d", size, 0);
    if (size == 0) {
      EXPECT_EQ("0", text);  // a zero width still prints the digit
      continue;
    }
    EXPECT_EQ(std::string(static_cast<std::size_t>(size), '0'), text) << size;
  }
}

// The largest text is 2^25 - 1 bytes (2^25 with its NUL); one byte more is
// refused with the size message and the string stays as it was.
TEST(Format, RefusesTextsAboveThirtyTwoMebibytes) {
  std::string produced = text::format("%33554431s", "end");
  ASSERT_EQ(33554431u, produced.size());
  EXPECT_EQ("end", produced.substr(produced.size() - 3));
  produced.clear();
  produced.shrink_to_fit();

  std::string refused = "unchanged";
  testing::internal::CaptureStderr();
  text::str_format(refused, "%33554432s", "end");
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ("unchanged", refused);
  EXPECT_EQ("text::format(): Unable to printf the requested string due to size.", message);
}

TEST(Format, KeepsErrnoOnSuccessAndFailure) {
  for (const char* width : {"%5s", "%33554432s"}) {
    errno = ERANGE;
    testing::internal::CaptureStderr();
    std::string out = text::format(width, "x");
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ERANGE, errno) << width;
  }
}

TEST(PreservedErrorState, PutsBothValuesBack) {
  errno = EDOM;
  text::detail::WriteLastError(1234);
  const std::uint32_t before = text::detail::ReadLastError();
  {
    text::PreservedErrorState preserved;
    preserved.Clear();
    EXPECT_EQ(0, errno);
    EXPECT_EQ(0u, text::detail::ReadLastError());
    errno = EINVAL;
    text::detail::WriteLastError(5);
  }
  EXPECT_EQ(EDOM, errno);
  EXPECT_EQ(before, text::detail::ReadLastError());
}

void FormatList(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  text::str_vformat(out, format, args);
  va_end(args);
}

TEST(FormatDeathTest, NullFormatEndsTheProcessWithTheMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::string out;
  EXPECT_DEATH(FormatList(out, nullptr),
               "text::format\\(\\): Invalid parameter detected in function "
               "'text::str_format\\(\\)', format string '\\(null\\)'");
}

#if !defined(_WIN32)
// glibc cannot convert a lone surrogate in the C locale and returns -1 with
// EILSEQ: the message carries that error's text, nothing is appended, and
// the caller's errno survives.
TEST(Format, ReportsARuntimeErrorWithItsErrnoText) {
  std::string out = "kept";
  errno = EDOM;
  testing::internal::CaptureStderr();
  text::str_format(out, "%ls", L"\xDC00");
  const std::string message = testing::internal::GetCapturedStderr();
  EXPECT_EQ(EDOM, errno);
  EXPECT_EQ("kept", out);
  EXPECT_EQ(std::string("text::format(): Unable to printf the requested string due to error '") +
                std::strerror(EILSEQ) + "'.",
            message);
}
#endif

}  // namespace
