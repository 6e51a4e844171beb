#include "ui/error_table.h"

#include "i18n/catalog.h"
#include "ui/utf8_text.h"

namespace zevrino::desktop::installer {
namespace {

constexpr unsigned int kIconWarning = 0x30;     // MB_ICONWARNING
constexpr unsigned int kRtlReading = 0x100000;  // MB_RTLREADING

constexpr ErrorTableEntry kCorrupt = {
    "The installer is corrupt. Please download it from the web site again and retry.",
    ErrorButtons::kOk, BrowserTarget::kDownloadPage};
// The msgid itself ends in two line feeds, so four precede the code line.
constexpr const char* kNoSpaceMessage =
    "The computer has not enough free memory and disk space. Please close some programs and "
    "delete some files from the disk and retry.\n\n";
constexpr ErrorTableEntry kNoMemory = {kNoSpaceMessage, ErrorButtons::kOk, BrowserTarget::kNone};
// A write that failed, or a volume found too small before anything was
// written: once the user has made room, Retry checks the space again.
constexpr ErrorTableEntry kNoDiskSpace = {kNoSpaceMessage, ErrorButtons::kRetryCancel,
                                          BrowserTarget::kNone};
constexpr ErrorTableEntry kNotCreated = {
    "The installer is unable to install Zevrino because the neccessary files could not be "
    "created.",
    ErrorButtons::kRetryCancel, BrowserTarget::kNone};
constexpr ErrorTableEntry kInUse = {
    "The installer is unable to install Zevrino because the files to be written are in use by "
    "another process. Please make sure Zevrino is not running and retry.",
    ErrorButtons::kRetryCancel, BrowserTarget::kNone};
constexpr ErrorTableEntry kNoAdmin = {"The installer is unable to get administrator privileges.",
                                      ErrorButtons::kRetryCancel, BrowserTarget::kNone};
constexpr ErrorTableEntry kNotStarted = {"Zevrino could not be started.", ErrorButtons::kOk,
                                         BrowserTarget::kNone};
constexpr ErrorTableEntry kNoInternet = {
    "The installer was unable to connect to the Internet. Please make sure the computer is "
    "connected to the Internet and that no firewall is blocking the connection and try again.",
    ErrorButtons::kRetryCancel, BrowserTarget::kNone};
constexpr ErrorTableEntry kUseBrowser = {
    "Automatic download failed. Press OK to download the installer from your browser.",
    ErrorButtons::kOkCancel, BrowserTarget::kFullInstaller};
constexpr ErrorTableEntry kProxySignIn = {
    "The installer is unable to download Zevrino because the proxy server asks for a user name "
    "and password. Please sign in to the proxy server, or ask your network administrator for "
    "help, and try again.",
    ErrorButtons::kRetryCancel, BrowserTarget::kNone};
// The browser opens the vendor's page, never the sign-in page's own
// address: the network shows its sign-in page in place of any page.
constexpr ErrorTableEntry kNetworkSignIn = {
    "The network you are connected to asks you to sign in before you can use the Internet. Press "
    "Continue to open your browser and sign in, then press Try Again.",
    ErrorButtons::kCancelTryContinue, BrowserTarget::kDownloadPage};
constexpr ErrorTableEntry kUnverified = {
    "The installer is unable to verify the secure connection to the download server. Please make "
    "sure the computer's date and time are correct and that no security software or network is "
    "inspecting the connection, and try again.",
    ErrorButtons::kRetryCancel, BrowserTarget::kNone};
constexpr ErrorTableEntry kNotGenuine = {
    "The downloaded installer is not genuine and has been deleted. Please download the Zevrino "
    "installer from the web site.",
    ErrorButtons::kOk, BrowserTarget::kDownloadPage};
constexpr ErrorTableEntry kUnknown = {"The installer encountered an unknown error.",
                                      ErrorButtons::kRetryCancel, BrowserTarget::kNone};
// Refusals that the same run would meet again: Retry would change nothing.
constexpr ErrorTableEntry kInvalidArgument = {kUnknown.message_id, ErrorButtons::kOk,
                                              BrowserTarget::kNone};
constexpr ErrorTableEntry kNoInstallFolder = {kNotCreated.message_id, ErrorButtons::kOk,
                                              BrowserTarget::kNone};

}  // namespace

ErrorTableEntry LookupErrorEntry(ResultCode code) {
  // 1 to 8, named or not: the payload or its archive.
  if (ResultNumber(code) >= ResultNumber(kPayloadHeaderUnreadable) &&
      ResultNumber(code) <= ResultNumber(kArchiveEntryMalformed)) {
    return kCorrupt;
  }
  switch (code) {
    case kOutOfMemory:
      return kNoMemory;
    case kWriteFailed:
      return kNoDiskSpace;
    case kCreateFailed:
      return kNotCreated;
    case kFileInUse:
    case kReplaceFailed:
      return kInUse;
    case kNoAdminPrivileges:
      return kNoAdmin;
    case kLaunchFailed:
      return kNotStarted;
    case kInternetFailed:
    case kHttpStatusNotOk:
    case kUrlOpenFailed:
    case kDownloadInvalid:
      return kNoInternet;
    case kHttpsFailedHttpWorks:
      return kUseBrowser;
    case kProxySignInRequired:
      return kProxySignIn;
    case kNetworkSignInRequired:
      return kNetworkSignIn;
    case kSecureConnectionUnverified:
      return kUnverified;
    case kDownloadNotGenuine:
      return kNotGenuine;
    case kInvalidMuSuffix:
      return kInvalidArgument;
    case kNoAppDataFolder:
      return kNoInstallFolder;
    default:
      return kUnknown;
  }
}

ErrorAnswer InterpretErrorAnswer(const ErrorTableEntry& entry, int answer) {
  ErrorAnswer outcome;
  const bool has_target = entry.browser != BrowserTarget::kNone;
  if (entry.buttons == ErrorButtons::kCancelTryContinue) {
    outcome.open_browser = has_target && answer == kAnswerContinue;
    outcome.show_again = answer == kAnswerContinue;
    outcome.retry = answer == kAnswerTryAgain;
    return outcome;
  }
  outcome.open_browser = has_target && answer != kAnswerRetry && answer != kAnswerCancel;
  outcome.retry = answer == kAnswerRetry;
  return outcome;
}

std::string ComposeErrorText(const std::string& message, const std::string& code_label,
                             ResultCode code) {
  const std::string code_line =
      "\n\n(" + code_label + std::to_string(static_cast<std::int32_t>(ResultNumber(code))) + ")";
  if (code_line.size() >= kMaxErrorTextBytes) {
    return TruncateUtf8(code_line, kMaxErrorTextBytes);
  }
  return TruncateUtf8(message, kMaxErrorTextBytes - code_line.size()) + code_line;
}

std::string ComposeErrorText(ResultCode code) {
  return ComposeErrorText(i18n::gettext::translate(LookupErrorEntry(code).message_id),
                          i18n::gettext::translate("Error code: "), code);
}

unsigned int ErrorDialogFlags(ResultCode code, bool right_to_left) {
  return static_cast<unsigned int>(LookupErrorEntry(code).buttons) | kIconWarning |
         (right_to_left ? kRtlReading : 0u);
}

}  // namespace zevrino::desktop::installer
