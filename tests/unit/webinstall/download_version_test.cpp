#include "webinstall/download_version.h"

#include <gtest/gtest.h>

namespace zevrino::desktop::installer {
namespace {

// The web installer is 1.2.36; a download is held to it and to what is
// installed.
TEST(DownloadVersion, OnlyThisProductAndNoOlderVersionStarts) {
  using V = VersionDecision;
  const struct {
    const char* product;
    const char* download;
    const char* installed;
    VersionDecision decision;
  } cases[] = {
      {"Zevrino", "1.2.36", "", V::kStart},
      {"Zevrino", "1.3.0", "1.2.40", V::kStart},
      {"Zevrino", "1.2.36", "1.2.36", V::kStart},
      {"Zevrino", "0.9", "", V::kOlderThanWebInstaller},
      {"Zevrino", "1.2.35.999", "", V::kOlderThanWebInstaller},
      {"Zevrino", "1.2.40", "9.9.9.9", V::kOlderThanInstalled},
      {"Zevrino", "", "", V::kNoVersion},
      {"", "", "", V::kNotThisProduct},
      {"Other", "9.9", "", V::kNotThisProduct},
      {"zevrino", "9.9", "", V::kNotThisProduct},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.product) + " " + c.download + " over " + c.installed);
    DownloadVersions versions;
    versions.product_name = c.product;
    versions.download = c.download;
    versions.own = "1.2.36";
    versions.installed = c.installed;
    EXPECT_EQ(DecideDownloadVersion(versions), c.decision);
  }
}

}  // namespace
}  // namespace zevrino::desktop::installer
