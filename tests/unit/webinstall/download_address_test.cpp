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

TEST(DownloadAddress, FullInstallerCommandLine) {
  EXPECT_EQ(FullInstallerCommandLine(0, nullptr, nullptr), "ZuVerIzad0.exe /webinstall");
  EXPECT_EQ(FullInstallerCommandLine(0, "", ""), "ZuVerIzad0.exe /webinstall");
  EXPECT_EQ(FullInstallerCommandLine(9, R"( "--mu" "beta")", R"( "x" "a b")"),
            R"(ZuVerIzad9.exe "--mu" "beta" /webinstall "x" "a b")");
  EXPECT_EQ(DownloadFileName(7), "ZuVerIzad7.exe");
}

}  // namespace
}  // namespace zevrino::desktop::installer
