#include "ui/error_dialog_win.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <string>

#include "base/product_settings.h"
#include "i18n/catalog.h"
#include "ui/error_table.h"
#include "ui/message_box_win.h"
#include "ui/progress_window_state_win.h"
#include "windows/shell_functions_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

// The platform-free table speaks Windows' numbers.
static_assert(kAnswerOk == IDOK && kAnswerCancel == IDCANCEL && kAnswerRetry == IDRETRY &&
              kAnswerTryAgain == IDTRYAGAIN && kAnswerContinue == IDCONTINUE);
static_assert(static_cast<unsigned>(ErrorButtons::kCancelTryContinue) == MB_CANCELTRYCONTINUE &&
              static_cast<unsigned>(ErrorButtons::kRetryCancel) == MB_RETRYCANCEL);

std::wstring FullInstallerTarget(const FallbackAddress& fallback) {
  const std::wstring url = Utf8ToWide(fallback.Get());
  return url.empty() ? std::wstring(kVendorFullInstallerUrl) : url;
}

}  // namespace

bool IsRightToLeftLanguage() {
  return i18n::gettext::right_to_left();
}

bool ShowErrorDialog(ResultCode code, const FallbackAddress& fallback) {
  const ErrorTableEntry entry = LookupErrorEntry(code);
  const std::string text = ComposeErrorText(code);
  for (;;) {
    const int answer =
        ShowMessageBox(text.c_str(), ErrorDialogFlags(code, IsRightToLeftLanguage()));
    const ErrorAnswer outcome = InterpretErrorAnswer(entry, answer);
    if (outcome.open_browser) {
      const std::wstring target = entry.browser == BrowserTarget::kDownloadPage
                                      ? std::wstring(kVendorDownloadPageUrl)
                                      : FullInstallerTarget(fallback);
      // Nothing is reported when no browser opens.
      ShellExecuteVerb(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOW);
    }
    if (!outcome.show_again) {
      return outcome.retry;
    }
  }
}

bool ShowError(UiThread& ui, ResultCode code) {
  if (code == kCancelled) {
    return false;
  }
  const HWND window = ui.WaitForWindow();
  if (window != nullptr) {
    // The dialog becomes modal on the thread that owns the window, while
    // this thread waits for the answer.
    return ::SendMessageW(window, kShowErrorMessage, static_cast<WPARAM>(ResultNumber(code)), 0) !=
           0;
  }
  return ShowErrorDialog(code, ui.fallback());
}

unsigned long RunOwnedDialog(UiThread& ui, const std::function<unsigned long(HWND owner)>& dialog) {
  const HWND window = ui.WaitForWindow();
  if (window != nullptr) {
    const std::function<DWORD(HWND)> on_ui_thread = [&dialog](HWND owner) {
      return static_cast<DWORD>(dialog(owner));
    };
    return static_cast<unsigned long>(
        ::SendMessageW(window, kRunDialogMessage, 0, reinterpret_cast<LPARAM>(&on_ui_thread)));
  }
  return dialog(nullptr);
}

}  // namespace zevrino::desktop::installer
