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
    ResultCode code;
    const char* words;  // part of the log's words; null: not a certificate error
  } cases[] = {
      {12045, 60, "root is not trusted"},
      {12038, 60, "another server"},
      {12037, 60, "expired"},
      {12170, 60, "revoked"},
      {12055, 60, "several problems"},
      {12057, 60, "revocation could not be checked"},
      {12169, 60, "not valid"},
      {12157, 52, nullptr},
      {12029, 52, nullptr},
      {12002, 52, nullptr},
      {0, 52, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    EXPECT_EQ(OpenFailureCode(c.error), c.code);
    const char* words = CertificateProblem(c.error);
    ASSERT_EQ(words == nullptr, c.words == nullptr);
    if (words != nullptr) {
      EXPECT_NE(std::strstr(words, c.words), nullptr) << words;
    }
  }
}

TEST(DownloadFailureTest, Statuses) {
  const struct {
    unsigned status;
    ResultCode code;
  } cases[] = {{407, 58}, {511, 59}, {404, 51}, {401, 51}, {500, 51}, {0, 51}};
  for (const auto& c : cases) {
    EXPECT_EQ(StatusFailureCode(c.status), c.code) << c.status;
  }
}

// What is no executable: an HTML page (a network's sign-in page) is 59,
// anything else 54.
TEST(DownloadFailureTest, HtmlPages) {
  const struct {
    const char* content_type;
    std::string start;
    ResultCode code;
  } cases[] = {
      {"text/html", "xx", 59},
      {"Text/HTML; charset=utf-8", "", 59},
      {"application/xhtml+xml", "", 59},
      {"", "<!DOCTYPE html>", 59},
      {"", "<html>", 59},
      {"application/octet-stream", " \r\n\t<p>", 59},
      {"", "\xEF\xBB\xBF<html>", 59},
      {"", "\xEF\xBB\xBF  <", 59},
      {"text/plain", "PK\x03\x04", 54},
      {"text/htmlx", "{}", 54},
      {"", "\xEF\xBB", 54},
      {"", "   ", 54},
      {"", "", 54},
      {"", "x<html>", 54},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.content_type) + " | " + c.start);
    EXPECT_EQ(
        NotAnExecutableCode(c.content_type, reinterpret_cast<const std::uint8_t*>(c.start.data()),
                            c.start.size()),
        c.code);
  }
}

// The proxy in the log: host and port, never a user name or password.
TEST(DownloadFailureTest, ProxyForLogDropsCredentials) {
  const struct {
    const char* proxy;
    const char* shown;
  } cases[] = {
      {"127.0.0.1:8888", "127.0.0.1:8888"},
      {"user:secret@proxy:3128", "proxy:3128"},
      {"http=u:p@a:1;https=b:2", "http=a:1;https=b:2"},
      {"http=a:1 https=x@b:2", "http=a:1;https=b:2"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProxyForLog(c.proxy), c.shown) << c.proxy;
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
