#pragma once
// The error dialog of a result code, and where it runs.

#include <windows.h>

#include <functional>

#include "installer/result_code.h"

namespace zevrino::desktop::installer {

// Shows the dialog of `code` and returns true when the user chose Retry, so
// the caller repeats the failed step. 19 (cancelled) shows nothing and
// returns false. Waits until the UI thread, when one was started, has its
// window (or failed to make one); the dialog then runs on that thread while
// the caller blocks, otherwise on the calling thread.
bool ShowError(ResultCode code);

// Runs `dialog` where the error dialogs run (ShowError): on the UI thread
// with the progress window as owner while the caller blocks, else on the
// calling thread without an owner. Returns what `dialog` returns.
unsigned long RunOwnedDialog(const std::function<unsigned long(HWND owner)>& dialog);

// Composes and shows the dialog of `code` on the calling thread.
bool ShowErrorDialog(ResultCode code);

// The full installer's address that the web installer is about to download
// (UTF-8, its "[ARCH]" placeholder replaced as for the download); code 57
// opens it. Empty until set; code 57 then opens the compiled-in address.
void SetFullInstallerUrl(const char* utf8_url);

// True when the loaded catalog is written in a right-to-left script.
bool IsRightToLeftLanguage();

}  // namespace zevrino::desktop::installer
