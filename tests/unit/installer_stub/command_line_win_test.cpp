#include "installer_stub/command_line_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "installer_stub/command_line.h"

namespace zevrino::desktop::installer {
namespace {

// Converts into a full-size buffer that is first filled with junk, so that a
// failed conversion which does not empty the buffer shows.
std::string Convert(const wchar_t* wide) {
  char buffer[kCommandLineBufferSize];
  std::fill(buffer, buffer + sizeof buffer, 'J');
  CommandLineToUtf8(wide, buffer, kCommandLineBufferSize);
  const std::size_t length = strnlen(buffer, sizeof buffer);
  EXPECT_LT(length, sizeof buffer) << "no terminating zero";
  return std::string(buffer, length);
}

TEST(CommandLineToUtf8, ConvertsToUtf8) {
  EXPECT_EQ(Convert(L""), "");
  EXPECT_EQ(Convert(nullptr), "");
  EXPECT_EQ(Convert(L"--log-file \"C:\\J\u00f6rg\\\u65e5\u672c.log\""),
            "--log-file \"C:\\J\xc3\xb6rg\\\xe6\x97\xa5\xe6\x9c\xac.log\"");
  EXPECT_EQ(Convert(L"--mu \U0001F600"), "--mu \xf0\x9f\x98\x80");  // surrogate pair
}

TEST(CommandLineToUtf8, LongerThanTheBufferGivesAnEmptyCommandLine) {
  const std::wstring fits(kCommandLineBufferSize - 1, L'a');  // zero takes the last byte
  EXPECT_EQ(Convert(fits.c_str()).size(), fits.size());
  const std::wstring one_more(kCommandLineBufferSize, L'a');
  EXPECT_EQ(Convert(one_more.c_str()), "");

  // The limit is on the UTF-8 form: 1365 euro signs take 4095 bytes.
  std::wstring euros((kCommandLineBufferSize - 1) / 3, L'\u20ac');
  EXPECT_EQ(Convert(euros.c_str()).size(), kCommandLineBufferSize - 1u);
  euros += L'a';
  EXPECT_EQ(Convert(euros.c_str()), "");
}

}  // namespace
}  // namespace zevrino::desktop::installer
