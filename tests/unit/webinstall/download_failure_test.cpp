#include "webinstall/download_failure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zevrino::desktop::installer {
namespace {

// Certificate errors are 60, named in words; anything else that keeps an
// address from opening stays 52 (12157: https to a plain server).
TEST(DownloadFailureTest, WinInetErrors) {
  const struct {
    unsigned long error;
    const char* words;  // part of the log's words; null: 52, not a certificate error
  } cases[] = {{12045, "root is not trusted"},
               {12038, "another server"},
               {12037, "expired"},
               {12170, "revoked"},
               {12055, "several problems"},
               {12057, "revocation could not be checked"},
               {12169, "not valid"},
               {12157, nullptr},
               {12029, nullptr},
               {12002, nullptr},
               {0, nullptr}};
  for (const auto& c : cases) {
    const char* words = CertificateProblem(c.error);
    EXPECT_EQ(ResultNumber(OpenFailureCode(c.error)), c.words != nullptr ? 60u : 52u) << c.error;
    ASSERT_EQ(words == nullptr, c.words == nullptr) << c.error;
    EXPECT_TRUE(words == nullptr || std::strstr(words, c.words) != nullptr) << words;
  }
  const std::pair<unsigned, std::uint32_t> statuses[] = {{407, 58}, {511, 59}, {404, 51}, {0, 51}};
  for (const auto& [status, code] : statuses) {
    EXPECT_EQ(ResultNumber(StatusFailureCode(status)), code) << status;
  }
}

// What is no executable: an HTML page (a network's sign-in page) is 59,
// anything else 54.
TEST(DownloadFailureTest, HtmlPages) {
  const struct {
    const char* content_type;
    std::string start;
    std::uint32_t code;
  } cases[] = {
      {"text/html", "xx", 59},
      {"Text/HTML; charset=utf-8", "", 59},
      {"application/xhtml+xml", "", 59},
      {"", "<!DOCTYPE html>", 59},
      {"", " \r\n\t<p>", 59},
      {"", "\xEF\xBB\xBF  <html>", 59},
      {"text/plain", "PK\x03\x04", 54},
      {"text/htmlx", "{}", 54},
      {"", "\xEF\xBB", 54},
      {"", "   ", 54},
      {"", "", 54},
      {"", "x<html>", 54},
  };
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.start.data());
    EXPECT_EQ(ResultNumber(NotAnExecutableCode(c.content_type, bytes, c.start.size())), c.code)
        << c.content_type << " | " << c.start;
  }
}

// The proxy in the log: host and port, never a user name or password.
TEST(DownloadFailureTest, ProxyForLogDropsCredentials) {
  const std::pair<const char*, const char*> cases[] = {
      {"127.0.0.1:8888", "127.0.0.1:8888"},
      {"user:se@cret@proxy:3128", "proxy:3128"},
      {"http=u:p@a:1;https=b:2", "http=a:1;https=b:2"},
      {"http=a:1 https=x@b:2", "http=a:1;https=b:2"},
      {"", ""}};
  for (const auto& [proxy, shown] : cases) {
    EXPECT_EQ(ProxyForLog(proxy), shown) << proxy;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
