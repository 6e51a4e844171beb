#include "installer_stub/parse_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer_stub/command_line.h"

namespace zevrino::desktop::installer {
namespace {

// Null pointers compare as "(null)" so that a missing value and an empty
// string are told apart.
std::string Show(const char* text) {
  return text == nullptr ? "(null)" : text;
}

// An absent value shows as null, an empty one as "".
const char* Value(const std::string& text) {
  return text.empty() ? nullptr : text.c_str();
}
const char* Value(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

class ParseOptionsTest : public ::testing::Test {
 protected:
  // Splits `text` the way wWinMain does and parses the tokens. The buffer
  // stays alive in the fixture, as it does for the whole run in the program.
  Options Parse(const std::string& text) {
    buffer_.assign(text.begin(), text.end());
    buffer_.push_back('\0');
    char* tokens[kMaxCommandLineTokens];
    const int count = SplitCommandLine(buffer_.data(), tokens, kMaxCommandLineTokens);
    return ParseOptions(tokens, count);
  }

  bool InBuffer(const char* p) const {
    return p >= buffer_.data() && p < buffer_.data() + buffer_.size();
  }

  std::vector<char> buffer_;
};

TEST_F(ParseOptionsTest, EveryOptionAndItsEdges) {
  struct Expected {
    bool extract = false;
    bool update = false;
    const char* target = nullptr;
    bool webinstall = false;
    bool silent = false;
    bool skip_app_launch = false;
    const char* log_file = nullptr;
    const char* url = nullptr;
    const char* mu = nullptr;
    const char* mu_args = nullptr;
    const char* forwarded = nullptr;
  };
  struct Case {
    const char* command_line;
    Expected expected;
  };
  auto e = [](auto fill) {
    Expected x;
    fill(x);
    return x;
  };
  const Case cases[] = {
      {"", {}},
      {"/EXTRACT", e([](Expected& x) { x.extract = true; })},
      // The token after extract is the directory whatever it looks like, and
      // parsing stops there: the trailing --silent is neither parsed nor forwarded.
      {"--extract \"C:\\out dir\" --silent foo", e([](Expected& x) {
         x.extract = true;
         x.target = "C:\\out dir";
       })},
      {"--extract --silent", e([](Expected& x) {
         x.extract = true;
         x.target = "--silent";
       })},
      {"--silent --extract out --webinstall", e([](Expected& x) {
         x.silent = true;
         x.extract = true;
         x.target = "out";
       })},
      {"--update C:\\app\\Zevrino.exe --silent", e([](Expected& x) {
         x.update = true;
         x.target = "C:\\app\\Zevrino.exe";
       })},
      {"--update", {}},
      {"--silent --update", e([](Expected& x) { x.silent = true; })},
      {"-webinstall /silent --skip-app-launch", e([](Expected& x) {
         x.webinstall = true;
         x.silent = true;
         x.skip_app_launch = true;
       })},
      {"--log-file", {}},
      {"--log-file --silent", e([](Expected& x) { x.log_file = "--silent"; })},
      {"--log-file a.log --log-file \"b c.log\"", e([](Expected& x) { x.log_file = "b c.log"; })},
      {"--url", e([](Expected& x) { x.forwarded = " \"--url\""; })},
      {"--url --silent", e([](Expected& x) { x.url = "--silent"; })},
      {"--url http://a/1 /URL http://b/2", e([](Expected& x) { x.url = "http://b/2"; })},
      {"--mu beta --silent", e([](Expected& x) {
         x.mu = "beta";
         x.mu_args = " \"--mu\" \"beta\"";
         x.silent = true;
       })},
      {"--mu a /MU b", e([](Expected& x) {
         x.mu = "b";
         x.mu_args = " \"--mu\" \"a\" \"/MU\" \"b\"";
       })},
      {"--silent -mu", e([](Expected& x) {
         x.silent = true;
         x.forwarded = " \"-mu\"";
       })},
      // Unknown tokens are forwarded in order, quoted so that they split back
      // unchanged: a quote in a token is escaped.
      {"foo --silent ---silent a\\\"b", e([](Expected& x) {
         x.silent = true;
         x.forwarded = " \"foo\" \"---silent\" \"a\\\"b\"";
       })},
      {"--mu x \"two words\" --extract", e([](Expected& x) {
         x.mu = "x";
         x.mu_args = " \"--mu\" \"x\"";
         x.forwarded = " \"two words\"";
         x.extract = true;
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_line);
    const Options options = Parse(c.command_line);
    const Expected& x = c.expected;
    EXPECT_EQ(options.extract, x.extract);
    EXPECT_EQ(options.update, x.update);
    EXPECT_EQ(Show(options.target_path), Show(x.target));
    EXPECT_EQ(options.webinstall, x.webinstall);
    EXPECT_EQ(options.silent, x.silent);
    EXPECT_EQ(options.skip_app_launch, x.skip_app_launch);
    EXPECT_EQ(Show(options.log_file_path), Show(x.log_file));
    EXPECT_EQ(Show(Value(options.url)), Show(x.url));
    EXPECT_EQ(Show(options.mu_suffix), Show(x.mu));
    EXPECT_EQ(Show(Value(options.forwarded.mu)), Show(x.mu_args));
    EXPECT_EQ(Show(Value(options.forwarded.others)), Show(x.forwarded));
  }
}

TEST_F(ParseOptionsTest, UrlIsCopiedWhileTheOtherValuesPointIntoTheBuffer) {
  const Options options = Parse("--url http://x/ --mu beta --log-file l.txt --update p");
  ASSERT_TRUE(options.url);
  EXPECT_FALSE(InBuffer(options.url->c_str()));
  EXPECT_TRUE(InBuffer(options.mu_suffix));
  EXPECT_TRUE(InBuffer(options.log_file_path));
  EXPECT_TRUE(InBuffer(options.target_path));
  // The copy outlives a change of the buffer.
  std::fill(buffer_.begin(), buffer_.end(), 'z');
  EXPECT_EQ(*options.url, "http://x/");
}

TEST(IsValidMuSuffix, OnlyPlainNamesUpTo32Characters) {
  const std::string good[] = {"beta", "a", "Beta-2.x_y", "0", "a..b", std::string(32, 'z')};
  for (const std::string& suffix : good) {
    EXPECT_TRUE(IsValidMuSuffix(suffix.c_str())) << suffix;
  }
  const std::string bad[] = {
      "",      ".hidden",  "..",          "x\\..\\..\\Local",   "a/b",    "C:",   "a b",
      "tab\t", "\xc3\xa9", "a\"/evil\"b", std::string(33, 'z'), "beta..", "beta."};
  for (const std::string& suffix : bad) {
    EXPECT_FALSE(IsValidMuSuffix(suffix.c_str())) << suffix;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
