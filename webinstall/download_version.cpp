#include "webinstall/download_version.h"

#include "base/product_settings.h"
#include "install/version_compare.h"

namespace zevrino::desktop::installer {

VersionDecision DecideDownloadVersion(const DownloadVersions& versions) {
  if (versions.product_name != kProductName) {
    return VersionDecision::kNotThisProduct;
  }
  if (versions.download.empty()) {
    return VersionDecision::kNoVersion;
  }
  // A web installer without a version of its own (none is built so) has
  // nothing to hold the download to.
  if (!versions.own.empty() &&
      !IsVersionNotNewer(versions.own.c_str(), versions.download.c_str())) {
    return VersionDecision::kOlderThanWebInstaller;
  }
  if (!versions.installed.empty() &&
      !IsVersionNotNewer(versions.installed.c_str(), versions.download.c_str())) {
    return VersionDecision::kOlderThanInstalled;
  }
  return VersionDecision::kStart;
}

const char* DescribeVersionDecision(VersionDecision decision) {
  switch (decision) {
    case VersionDecision::kStart:
      return "";
    case VersionDecision::kNotThisProduct:
      return "it is not an installer of this product";
    case VersionDecision::kNoVersion:
      return "it carries no product version";
    case VersionDecision::kOlderThanWebInstaller:
      return "it is older than this installer";
    case VersionDecision::kOlderThanInstalled:
      return "it is older than the installed version";
  }
  return "";
}

}  // namespace zevrino::desktop::installer
