#pragma once
// What the error dialog of each result code says and offers. Platform-free:
// the dialog itself (ui/error_dialog_win.cpp) only shows what is chosen here.

#include <cstddef>
#include <string>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

enum class ErrorButtons : unsigned int {
  kOk = 0,           // MB_OK
  kOkCancel = 1,     // MB_OKCANCEL
  kRetryCancel = 5,  // MB_RETRYCANCEL
  // MB_CANCELTRYCONTINUE: Continue opens the browser and asks again, Try
  // Again repeats the step.
  kCancelTryContinue = 6,
};

// The page opened in the browser after the dialog, unless the user chose
// Retry or Cancel.
enum class BrowserTarget {
  kNone,
  kDownloadPage,   // the vendor's download page: a fresh copy of the installer
  kFullInstaller,  // the full installer's address (the run's FallbackAddress or the vendor's)
};

struct ErrorTableEntry {
  const char* message_id;  // English msgid, translated when shown
  ErrorButtons buttons;
  BrowserTarget browser;
};

// The answers of a message box (IDOK, IDCANCEL, IDRETRY, IDTRYAGAIN,
// IDCONTINUE); 0 when it could not be shown.
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerRetry = 4;
constexpr int kAnswerTryAgain = 10;
constexpr int kAnswerContinue = 11;

// What the user's answer to an error dialog asks for.
struct ErrorAnswer {
  bool open_browser = false;  // open the entry's browser target
  bool show_again = false;    // then show the same dialog again
  bool retry = false;         // the caller repeats the failed step
};

// The answer `answer` to the dialog of `entry`: Retry and Try Again repeat
// the step; Continue opens the browser and asks again; for the other button
// sets any answer but Retry and Cancel opens the browser target, also 0 (a
// dialog that could not be shown), so that the user still gets the page.
ErrorAnswer InterpretErrorAnswer(const ErrorTableEntry& entry, int answer);

// The entry of `code`; codes not in the table get the unknown-error entry.
ErrorTableEntry LookupErrorEntry(ResultCode code);

// The dialog text composes in a 4096-byte buffer: 4095 bytes of UTF-8.
constexpr std::size_t kMaxErrorTextBytes = 4095;

// The translated message, a blank line and "(Error code: N)" with the
// translated label. A message too long for the buffer is cut at a character
// boundary so that the code line always stays whole.
std::string ComposeErrorText(ResultCode code);
// The same from the translated `message` and "Error code: " label.
std::string ComposeErrorText(const std::string& message, const std::string& code_label,
                             ResultCode code);

// MB_* flags of the dialog: its buttons, the warning icon and, for a
// right-to-left language, right-to-left reading order.
unsigned int ErrorDialogFlags(ResultCode code, bool right_to_left);

}  // namespace zevrino::desktop::installer
