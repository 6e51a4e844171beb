#include "installer_stub/command_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
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

TEST(SplitCommandLine, ReadsTokensAsStartedProgramsDo) {
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
      {"ab\"cd ef", {"abcd ef"}},  // a quote opens a quoted part inside a token
      {"\"x\"y", {"xy"}},
      {"\"x\"\"y\"", {"x\"y"}},     // "" inside quotes: a quote, and the part ends
      {"\"\"\"", {"\""}},           // """ outside quotes: one quote
      {"\"\" next", {"", "next"}},  // an empty quoted token counts
      {"C:\\dir\\ \"a\\\" b\"", {"C:\\dir\\", "a\" b"}},
      {"a\\\\\"b c\" d", {"a\\b c", "d"}},  // 2n backslashes before a quote: n
      {"\"C:\\dir\\\\\" x", {"C:\\dir\\", "x"}},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(Split(c.text), ElementsAreArray(c.tokens)) << "command line: " << c.text;
  }
}

TEST(AppendQuotedArgument, OrdinaryTokensKeepTheirOldForm) {
  const std::pair<const char*, const char*> cases[] = {
      {"beta", " \"beta\""},
      {"two words", " \"two words\""},
      {"C:\\dir\\x", " \"C:\\dir\\x\""},
      {"", " \"\""},
      {"C:\\dir\\", " \"C:\\dir\\\\\""},
      {"a\"b", " \"a\\\"b\""},
      {"a\\\"b", " \"a\\\\\\\"b\""},
  };
  for (const auto& [token, quoted] : cases) {
    std::string out;
    AppendQuotedArgument(token, &out);
    EXPECT_EQ(out, quoted) << token;
  }
}

// Whatever the tokens hold, quoting them one after another and splitting the
// result gives them back.
TEST(AppendQuotedArgument, SplitsBackIntoTheSameTokens) {
  std::mt19937 random(20261207);
  const char alphabet[] = {'a', ' ', '\t', '"', '\\', '/', '\xc3', '\xa9'};
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> tokens(random() % (kMaxCommandLineTokens + 1));
    std::string line;
    for (std::string& token : tokens) {
      token.resize(random() % 9);
      for (char& c : token) {
        c = alphabet[random() % sizeof alphabet];
      }
      AppendQuotedArgument(token.c_str(), &line);
    }
    ASSERT_THAT(Split(line), ElementsAreArray(tokens)) << "command line: " << line;
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
