#pragma once
// Result codes: every install step returns one and the process exits with one.
// The numbers are part of the installer's interface (callers, scripts and the
// installed application read them); never renumber or reuse a value.
// A result code is a type of its own: no integer converts to one silently,
// and an error becomes one only through ToResultCode (error_code.h).

#include <cstdint>

namespace zevrino::desktop::installer {

enum class ResultCode : std::uint32_t {
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

// The short names, usable without the enum's name.
inline constexpr ResultCode kSuccess = ResultCode::kSuccess;
inline constexpr ResultCode kPayloadHeaderUnreadable = ResultCode::kPayloadHeaderUnreadable;
inline constexpr ResultCode kPayloadDigestMismatch = ResultCode::kPayloadDigestMismatch;
inline constexpr ResultCode kPayloadDecodeFailed = ResultCode::kPayloadDecodeFailed;
inline constexpr ResultCode kPayloadNotFound = ResultCode::kPayloadNotFound;
inline constexpr ResultCode kArchiveEntryMalformed = ResultCode::kArchiveEntryMalformed;
inline constexpr ResultCode kPathConversionFailed = ResultCode::kPathConversionFailed;
inline constexpr ResultCode kOutOfMemory = ResultCode::kOutOfMemory;
inline constexpr ResultCode kWriteFailed = ResultCode::kWriteFailed;
inline constexpr ResultCode kCreateFailed = ResultCode::kCreateFailed;
inline constexpr ResultCode kFileInUse = ResultCode::kFileInUse;
inline constexpr ResultCode kNoAdminPrivileges = ResultCode::kNoAdminPrivileges;
inline constexpr ResultCode kLaunchFailed = ResultCode::kLaunchFailed;
inline constexpr ResultCode kReplaceFailed = ResultCode::kReplaceFailed;
inline constexpr ResultCode kCancelled = ResultCode::kCancelled;
inline constexpr ResultCode kInteractiveInstallerRunning = ResultCode::kInteractiveInstallerRunning;
inline constexpr ResultCode kUpdateInProgress = ResultCode::kUpdateInProgress;
inline constexpr ResultCode kUnsupportedWindows = ResultCode::kUnsupportedWindows;
inline constexpr ResultCode kAccountRefused = ResultCode::kAccountRefused;
inline constexpr ResultCode kInstallDirNotWritable = ResultCode::kInstallDirNotWritable;
inline constexpr ResultCode kReplaceDeclined = ResultCode::kReplaceDeclined;
inline constexpr ResultCode kApplicationRunning = ResultCode::kApplicationRunning;
inline constexpr ResultCode kCommitAfterRollback = ResultCode::kCommitAfterRollback;
inline constexpr ResultCode kStoreInstallPresent = ResultCode::kStoreInstallPresent;
inline constexpr ResultCode kUnknownFilter = ResultCode::kUnknownFilter;
inline constexpr ResultCode kStoreInstallOpened = ResultCode::kStoreInstallOpened;
inline constexpr ResultCode kInvalidMuSuffix = ResultCode::kInvalidMuSuffix;
inline constexpr ResultCode kNoAppDataFolder = ResultCode::kNoAppDataFolder;
inline constexpr ResultCode kInternetFailed = ResultCode::kInternetFailed;
inline constexpr ResultCode kHttpStatusNotOk = ResultCode::kHttpStatusNotOk;
inline constexpr ResultCode kUrlOpenFailed = ResultCode::kUrlOpenFailed;
inline constexpr ResultCode kFullInstallerStartFailed = ResultCode::kFullInstallerStartFailed;
inline constexpr ResultCode kDownloadInvalid = ResultCode::kDownloadInvalid;
inline constexpr ResultCode kFullInstallerFailed = ResultCode::kFullInstallerFailed;
inline constexpr ResultCode kHttpsFailedHttpWorks = ResultCode::kHttpsFailedHttpWorks;
inline constexpr ResultCode kProxySignInRequired = ResultCode::kProxySignInRequired;
inline constexpr ResultCode kNetworkSignInRequired = ResultCode::kNetworkSignInRequired;
inline constexpr ResultCode kSecureConnectionUnverified = ResultCode::kSecureConnectionUnverified;
inline constexpr ResultCode kDownloadNotGenuine = ResultCode::kDownloadNotGenuine;

// The number of a result code, for the places that need the number itself:
// log text, the error dialog's code line, a window message that carries it.
constexpr std::uint32_t ResultNumber(ResultCode code) {
  return static_cast<std::uint32_t>(code);
}

// The process's exit code for `code` (its number).
constexpr int ToExitCode(ResultCode code) {
  return static_cast<int>(ResultNumber(code));
}

}  // namespace zevrino::desktop::installer
