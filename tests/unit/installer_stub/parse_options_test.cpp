#include "installer_stub/parse_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "installer_stub/command_line.h"

namespace zevrino::desktop::installer {
namespace {

// The options that differ from their defaults, in one line: "name" for a
// flag, "name=value" for a value, so that absent and empty values differ.
std::string Describe(const Options& o) {
  std::string text;
  const auto flag = [&text](bool on, const char* name) {
    text += on ? std::string(" ") + name : "";
  };
  const auto value = [&text](const char* v, const char* name) {
    text += v != nullptr ? std::string(" ") + name + "=" + v : "";
  };
  flag(o.extract, "extract");
  flag(o.update, "update");
  value(o.target_path, "target");
  flag(o.webinstall, "webinstall");
  flag(o.silent, "silent");
  flag(o.skip_app_launch, "skip-app-launch");
  value(o.log_file_path, "log");
  value(o.url ? o.url->c_str() : nullptr, "url");
  value(o.mu_suffix, "mu");
  value(o.forwarded.mu.empty() ? nullptr : o.forwarded.mu.c_str(), "mu-args");
  value(o.forwarded.others.empty() ? nullptr : o.forwarded.others.c_str(), "forwarded");
  return text;
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
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},
      {"/EXTRACT", " extract"},
      // The token after extract is the directory whatever it looks like, and
      // parsing stops there: the trailing --silent is neither parsed nor forwarded.
      {"--extract \"C:\\out dir\" --silent foo", " extract target=C:\\out dir"},
      {"--extract --silent", " extract target=--silent"},
      {"--silent --extract out --webinstall", " extract target=out silent"},
      {"--update C:\\app\\Zevrino.exe --silent", " update target=C:\\app\\Zevrino.exe"},
      {"--update", ""},
      {"--silent --update", " silent"},
      {"-webinstall /silent --skip-app-launch", " webinstall silent skip-app-launch"},
      {"--log-file", ""},
      {"--log-file --silent", " log=--silent"},
      {"--log-file a.log --log-file \"b c.log\"", " log=b c.log"},
      {"--url", " forwarded= \"--url\""},
      {"--url --silent", " url=--silent"},
      {"--url http://a/1 /URL http://b/2", " url=http://b/2"},
      {"--mu beta --silent", " silent mu=beta mu-args= \"--mu\" \"beta\""},
      {"--mu a /MU b", " mu=b mu-args= \"--mu\" \"a\" \"/MU\" \"b\""},
      {"--silent -mu", " silent forwarded= \"-mu\""},
      // Unknown tokens are forwarded in order, quoted so that they split back
      // unchanged: a quote in a token is escaped.
      {"foo --silent ---silent a\\\"b", " silent forwarded= \"foo\" \"---silent\" \"a\\\"b\""},
      {"--mu x \"two words\" --extract",
       " extract mu=x mu-args= \"--mu\" \"x\" forwarded= \"two words\""},
  };
  for (const auto& [command_line, expected] : cases) {
    EXPECT_EQ(Describe(Parse(command_line)), expected) << command_line;
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
