#pragma once
// Result codes: every install step returns one and the process exits with one.
// The numbers are part of the installer's interface (callers, scripts and the
// installed application read them); never renumber or reuse a value.

#include <cstdint>

namespace zevrino::desktop::installer {

using ResultCode = std::uint32_t;

enum Result : ResultCode {
  kSuccess = 0,
  kPayloadHeaderUnreadable = 1,  // payload header or a size field unreadable
  kPayloadDigestMismatch = 2,    // payload checksum mismatch
  kPayloadDecodeFailed = 3,      // LZMA decoding failed
  kPayloadNotFound = 4,          // no payload, implausible length, unknown archive version
  kArchiveEntryMalformed = 8,    // malformed entry in the package archive
  kPathConversionFailed = 10,    // a path could not be converted from UTF-8 to UTF-16
  kOutOfMemory = 11,             // no memory for the decoded payload; download write failed
  kWriteFailed = 12,             // writing a file failed or wrote fewer bytes than asked
  kCreateFailed = 13,            // a file or directory could not be created
  kFileInUse = 14,               // another process holds the file
  kNoAdminPrivileges = 16,       // no step returns it; its message remains
  kLaunchFailed = 17,            // the installed application could not be started
  kReplaceFailed = 18,           // an installed file could not be replaced or restored
  kCancelled = 19,               // the user cancelled the download
  kInteractiveInstallerRunning = 20,
  kUpdateInProgress = 21,
  kUnsupportedWindows = 22,
  kAccountRefused = 23,
  kInstallDirNotWritable = 24,
  kReplaceDeclined = 25,
  kApplicationRunning = 26,
  kCommitAfterRollback = 27,
  kStoreInstallPresent = 29,
  kUnknownFilter = 30,
  kStoreInstallOpened = 33,
  kInvalidMuSuffix = 34,  // the value of `mu` is not a plain directory-name suffix
  kNoAppDataFolder = 35,  // the user's roaming application-data folder is unknown
  kInternetFailed = 50,
  kHttpStatusNotOk = 51,
  kUrlOpenFailed = 52,
  kFullInstallerStartFailed = 53,
  kDownloadInvalid = 54,
  kFullInstallerFailed = 55,
  kHttpsFailedHttpWorks = 57,
  kProxySignInRequired = 58,         // the proxy asks for a sign-in the user did not give
  kNetworkSignInRequired = 59,       // the network put its sign-in page in place of the download
  kSecureConnectionUnverified = 60,  // the server's certificate could not be verified
  kDownloadNotGenuine = 61,  // the download failed the signature, publisher or version check
};

}  // namespace zevrino::desktop::installer
