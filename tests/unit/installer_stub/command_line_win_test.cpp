#include "installer_stub/command_line_win.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

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

// The tokens CommandLineToArgvW finds after a program name, as UTF-8.
std::vector<std::string> SystemSplit(const std::string& text) {
  const std::wstring wide = L"program.exe " + std::wstring(text.begin(), text.end());
  int count = 0;
  wchar_t** argv = ::CommandLineToArgvW(wide.c_str(), &count);
  std::vector<std::string> tokens;
  for (int i = 1; argv != nullptr && i < count; ++i) {
    tokens.emplace_back(argv[i], argv[i] + std::wcslen(argv[i]));
  }
  ::LocalFree(argv);
  return tokens;
}

// The installer reads its command line as the system's own splitter does,
// also where quotes and backslashes pile up.
TEST(SplitCommandLine, AgreesWithCommandLineToArgvW) {
  std::mt19937 random(7);
  const char alphabet[] = {'a', ' ', '\t', '"', '\\'};
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 12, 'a');
    for (char& c : text) {
      c = alphabet[random() % sizeof alphabet];
    }
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    char* tokens[kMaxCommandLineTokens];
    const int count = SplitCommandLine(buffer.data(), tokens, kMaxCommandLineTokens);
    ASSERT_EQ(std::vector<std::string>(tokens, tokens + count), SystemSplit(text))
        << "command line: " << text;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
