#include "webinstall/download_address.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

TEST(DownloadAddress, ArchPlaceholderFirstOccurrenceOnly) {
  EXPECT_EQ(ReplaceArchPlaceholder("https://h/[ARCH]/setup.exe", "X64"), "https://h/X64/setup.exe");
  EXPECT_EQ(ReplaceArchPlaceholder("https://h/[ARCH]/[ARCH].exe", "ARM64"),
            "https://h/ARM64/[ARCH].exe");
  EXPECT_EQ(ReplaceArchPlaceholder("https://h/a[ARCH]b", ""), "https://h/ab");
  EXPECT_EQ(ReplaceArchPlaceholder("https://h/[arch]/x", "X64"), "https://h/[arch]/x");

  EXPECT_STREQ(ArchitectureNameOfMachine(0x8664), "X64");
  EXPECT_STREQ(ArchitectureNameOfMachine(0x0200), "X64");
  EXPECT_STREQ(ArchitectureNameOfMachine(0xAA64), "ARM64");
  EXPECT_STREQ(ArchitectureNameOfMachine(0x014C), "");  // x86
  EXPECT_STREQ(ArchitectureNameOfMachine(0), "");
}

TEST(DownloadAddress, PlainHttpOnlyForHttps) {
  std::string plain = "untouched";
  ASSERT_TRUE(PlainHttpAddress("https://127.0.0.1:81/[ARCH]/a?b", &plain));
  EXPECT_EQ(plain, "http://127.0.0.1:81/[ARCH]/a?b");
  plain = "untouched";
  EXPECT_FALSE(PlainHttpAddress("http://127.0.0.1/a", &plain));
  EXPECT_FALSE(PlainHttpAddress("https:/", &plain));
  EXPECT_FALSE(PlainHttpAddress("ftp://https://", &plain));
  EXPECT_EQ(plain, "untouched");
}

TEST(DownloadAddress, OnlyHttpAndHttpsWithAHost) {
  for (const char* good : {"http://h/x", "HTTPS://h:8443/a?b", "http://h"}) {
    EXPECT_TRUE(IsDownloadAddress(good)) << good;
  }
  for (const char* bad :
       {"", "file:///C:/x.exe", "ftp://h/x", "\\\\server\\share\\x.exe", "C:\\x.exe", "http:/h/x",
        "http:///x", "https://", "h/x.exe", "http://h/\nx", "javascript:x"}) {
    EXPECT_FALSE(IsDownloadAddress(bad)) << bad;
  }
}

TEST(DownloadAddress, RedirectsStayOnHttpAndNeverLeaveHttps) {
  const struct {
    const char* current;
    const char* location;
    const char* target;  // "" when refused
  } cases[] = {
      {"http://a/d/x.exe?q", "/y.exe", "http://a/y.exe"},
      {"http://a:81/d/x.exe?q", "y.exe", "http://a:81/d/y.exe"},
      {"http://a", "y.exe", "http://a/y.exe"},
      {"http://a/d/x", "//b/y", "http://b/y"},
      {"https://a/x", "//b/y", "https://b/y"},
      {"http://a/x", "https://mirror/y", "https://mirror/y"},
      {"https://a/x", "HTTPS://mirror/y",
       "HTTPS://mirror/y"},                    // other hosts: the signature decides
      {"https://a/x", "http://mirror/y", ""},  // never down to http
      {"https://a/x", "//b:80/y", "https://b:80/y"},
      {"http://a/x", "file:///C:/x.exe", ""},
      {"http://a/x", "ftp://b/x.exe", ""},
      {"http://a/x", "", ""},
      {"http://a/x", "/y\r\nSet-Cookie: z", ""},
      {"file:///x", "http://b/y", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RedirectTarget(c.current, c.location), c.target) << c.current << " -> " << c.location;
  }
  EXPECT_EQ(ActionForStatus(200), StatusAction::kBody);
  for (unsigned status : {301u, 302u, 303u, 307u, 308u}) {
    EXPECT_EQ(ActionForStatus(status), StatusAction::kRedirect) << status;
  }
  for (unsigned status : {0u, 204u, 206u, 300u, 304u, 404u, 500u}) {
    EXPECT_EQ(ActionForStatus(status), StatusAction::kFail) << status;
  }
}

TEST(DownloadAddress, FullInstallerCommandLine) {
  EXPECT_EQ(FullInstallerCommandLine(0, nullptr, nullptr), "ZuVerIzad0.exe /webinstall");
  EXPECT_EQ(FullInstallerCommandLine(0, "", ""), "ZuVerIzad0.exe /webinstall");
  EXPECT_EQ(FullInstallerCommandLine(9, R"( "--mu" "beta")", R"( "x" "a b")"),
            R"(ZuVerIzad9.exe "--mu" "beta" /webinstall "x" "a b")");
  EXPECT_EQ(DownloadFileName(7), "ZuVerIzad7.exe");
}

}  // namespace
}  // namespace zevrino::desktop::installer
