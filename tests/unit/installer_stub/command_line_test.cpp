#include "installer_stub/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevrino::desktop::installer {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::string> Split(std::string text, int limit = kMaxCommandLineTokens) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  std::vector<char*> tokens(static_cast<std::size_t>(limit > 0 ? limit : 1));
  const int count = SplitCommandLine(buffer.data(), tokens.data(), limit);
  std::vector<std::string> result;
  for (int i = 0; i < count; ++i) {
    // Every token must be a string inside the buffer.
    EXPECT_GE(tokens[i], buffer.data());
    EXPECT_LT(tokens[i], buffer.data() + buffer.size());
    result.emplace_back(tokens[i]);
  }
  return result;
}

TEST(SplitCommandLine, CutsTokensLikeTheInstallerExpects) {
  struct Case {
    const char* text;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"", {}},
      {" \t  \t", {}},
      {"a b\tc", {"a", "b", "c"}},
      {"  lead and trail  \t", {"lead", "and", "trail"}},
      {"--extract \"C:\\out dir\" --silent", {"--extract", "C:\\out dir", "--silent"}},
      {"\"tab\tinside\"", {"tab\tinside"}},
      {"\"unterminated quote", {"unterminated quote"}},
      {"x \"unterminated", {"x", "unterminated"}},
      {"ab\"cd ef", {"ab\"cd", "ef"}},  // quote inside an unquoted token
      {"\"x\"y", {"x", "y"}},           // closing quote ends the token at once
      {"\"x\"\"y\"", {"x", "y"}},
      {"\"\" next", {"", "next"}},                             // an empty quoted token counts
      {"C:\\dir\\ \"a\\\" b\"", {"C:\\dir\\", "a\\", "b\""}},  // backslash escapes nothing
  };
  for (const Case& c : cases) {
    EXPECT_THAT(Split(c.text), ElementsAreArray(c.tokens)) << "command line: " << c.text;
  }
}

TEST(SplitCommandLine, StopsAtTheLimit) {
  std::string text;
  std::vector<std::string> first16;
  for (int i = 1; i <= 17; ++i) {
    text += "t" + std::to_string(i) + " ";
    if (i <= 16) {
      first16.push_back("t" + std::to_string(i));
    }
  }
  EXPECT_THAT(Split(text), ElementsAreArray(first16));
  EXPECT_THAT(Split("\"a b\" c d", 2), ElementsAreArray({"a b", "c"}));
  EXPECT_TRUE(Split("a b", 0).empty());
}

TEST(MatchOption, AcceptsOnePrefixAndIgnoresCase) {
  struct Case {
    const char* token;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"-silent", "silent", true},    {"--silent", "silent", true},
      {"/silent", "silent", true},    {"/-silent", "silent", true},
      {"/SILENT", "silent", true},    {"--Skip-App-LAUNCH", "skip-app-launch", true},
      {"---silent", "silent", false}, {"//silent", "silent", false},
      {"-/silent", "silent", false},  {"silent", "silent", false},
      {"-silen", "silent", false},    {"-silentx", "silent", false},
      {"--mu", "mu", true},           {"--m", "mu", false},
      {"-", "silent", false},         {"", "silent", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchOption(c.token, c.name), c.matches) << c.token << " vs " << c.name;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
