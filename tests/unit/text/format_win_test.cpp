// The Windows side of formatting: the last-error value and msvcrt's
// invalid-parameter reports.
#include <stdlib.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "text/format.h"
#include "text/format_backend.h"

namespace {

TEST(FormatWin, KeepsTheLastErrorValue) {
  // Success, the second pass and the size refusal.
  for (const char* format : {"%s", "%5000s", "%33554432s"}) {
    testing::internal::CaptureStderr();
    ::SetLastError(ERROR_SHARING_VIOLATION);
    std::string out = text::format(format, "x");
    const DWORD after = ::GetLastError();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), after) << format;
  }
}

// msvcrt.dll calls the handler that _set_invalid_parameter_handler installed
// (Wine's msvcrt never does: it reports nothing). The tests call that
// handler the way msvcrt would, from inside and outside a formatting call.
void RaiseInvalidParameter() {
  _invalid_parameter_handler handler = _get_invalid_parameter_handler();
  ASSERT_NE(nullptr, handler);
  handler(L"buffer != nullptr", L"_itoa_s", L"xtoa.c", 1, 0);
}

int VformatThatReportsInvalidParameter(char* buffer, std::size_t size, const char* format,
                                       va_list args) {
  RaiseInvalidParameter();
  return text::detail::CrtFormatBackend().vformat(buffer, size, format, args);
}

void FormatReportingInvalidParameter(const char* format, ...) {
  const text::detail::FormatBackend backend{VformatThatReportsInvalidParameter, malloc, free};
  std::string out;
  va_list args;
  va_start(args, format);
  text::detail::StrFormatWith(backend, out, format, args);
  va_end(args);
}

TEST(FormatWinDeathTest, InvalidParameterWhileFormattingEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(FormatReportingInvalidParameter("value %d", 5),
               "text::format\\(\\): Invalid parameter detected in function "
               "'text::str_format\\(\\)', format string 'value %d'");
}

int g_previous_calls = 0;
void __cdecl CountingHandler(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int,
                             uintptr_t) {
  ++g_previous_calls;
}

// The handler stays installed after formatting; reports from code that is
// not formatting go to the handler installed before it, and the process
// goes on. Runs in a child process so that this handler is the one our
// handler finds when it is installed.
TEST(FormatWinDeathTest, InvalidParameterOutsideFormattingGoesToThePreviousHandler) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        _set_invalid_parameter_handler(CountingHandler);
        std::string warm_up = text::format("%d", 1);  // installs our handler
        RaiseInvalidParameter();
        RaiseInvalidParameter();
        std::exit(g_previous_calls == 2 && warm_up == "1" ? 7 : 1);
      },
      testing::ExitedWithCode(7), "");
}

}  // namespace
