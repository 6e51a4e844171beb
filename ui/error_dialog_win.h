#pragma once
// The error dialog of a result code, and where it runs.

#include <windows.h>

#include <functional>

#include "base/result_code.h"
#include "ui/fallback_address.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

// Shows the dialog of `code` and returns true when the user chose Retry, so
// the caller repeats the failed step. 19 (cancelled) shows nothing and
// returns false. Waits until the UI thread of `ui`, when one was started,
// has its window (or failed to make one); the dialog then runs on that
// thread while the caller blocks, otherwise on the calling thread.
bool ShowError(UiThread& ui, ResultCode code);

// Runs `dialog` where the error dialogs run (ShowError): on the UI thread
// with the progress window as owner while the caller blocks, else on the
// calling thread without an owner. Returns what `dialog` returns.
unsigned long RunOwnedDialog(UiThread& ui, const std::function<unsigned long(HWND owner)>& dialog);

// Composes and shows the dialog of `code` on the calling thread; code 57's
// browser opens `fallback` (the compiled-in address while it is empty).
bool ShowErrorDialog(ResultCode code, const FallbackAddress& fallback);

// True when the loaded catalog is written in a right-to-left script.
bool IsRightToLeftLanguage();

}  // namespace zevrino::desktop::installer
