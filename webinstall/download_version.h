#pragma once
// Whether a downloaded file that passed the signature check is a full
// installer of this product that installs no older version than there is.
// Platform-free, so that the rule is tested natively; the versions come
// from the files' version resources (payload/module_version_win.h).
//
//   the download's ProductName is not "Zevrino"        kNotThisProduct
//   it has no ProductVersion                           kNoVersion
//   its version is lower than the web installer's      kOlderThanWebInstaller
//   it is lower than the installed Zevrino.exe's       kOlderThanInstalled
//   otherwise (the same version or a newer one)        kStart
//
// "Lower" is the normal install's comparison (IsVersionNotNewer): the
// download may start when the other version is not newer than it. Without
// an installed Zevrino.exe (or one without a version) only the web
// installer's own version counts. A signed web installer would otherwise
// start any program its publisher ever signed, an old full installer with
// known faults included, and the full installer, run with /webinstall, asks
// nobody before it replaces a newer installation.

#include <string>

namespace zevrino::desktop::installer {

struct DownloadVersions {
  std::string product_name;  // the download's ProductName
  std::string download;      // the download's ProductVersion, "" when none
  std::string own;           // the web installer's own ProductVersion
  std::string installed;     // the installed Zevrino.exe's, "" when none
};

enum class VersionDecision {
  kStart,
  kNotThisProduct,
  kNoVersion,
  kOlderThanWebInstaller,
  kOlderThanInstalled,
};

VersionDecision DecideDownloadVersion(const DownloadVersions& versions);

// Why the download was refused, in words for the log ("" for kStart).
const char* DescribeVersionDecision(VersionDecision decision);

}  // namespace zevrino::desktop::installer
