#pragma once
// What the error dialogs need to know of the progress window: the private
// messages that run a dialog on the UI thread.

#include <windows.h>

namespace zevrino::desktop::installer {

// wParam: the result code; the reply is 1 when the user chose Retry.
constexpr UINT kShowErrorMessage = WM_USER + 123;
// Hides the window for good.
constexpr UINT kHideWindowMessage = WM_USER + 124;
// lParam: a const std::function<DWORD(HWND owner)>*, called on the UI thread
// with the window as owner; the reply is what it returns. (WM_USER + 125 is
// the window's own.)
constexpr UINT kRunDialogMessage = WM_USER + 126;

}  // namespace zevrino::desktop::installer
