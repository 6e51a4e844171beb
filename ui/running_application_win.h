#pragma once
// Finding the installed application while it runs, and closing it: first by
// window messages, then by terminating its process.
//
// The application is recognised only by the objects it creates: its named
// mutex and file mapping (base/named_objects.h) and the window classes "ZevrinoMainWindow" and
// "ZevrinoHttpsListener". Every probe opens and closes its own handles; nothing is kept between
// calls.
//
// Closing sends a fixed sequence of messages (wParam and lParam 0) and, after
// each one the window answers, waits for the process to end:
//   main window     WM_QUERYENDSESSION, WM_CLOSE, WM_QUIT, WM_DESTROY
//   HTTPS listener  WM_APP + 1, WM_CLOSE, WM_QUIT, WM_DESTROY
// then terminates the process with exit code 0. A send waits at most the
// time-out, a hung window thread fails it at once; each wait for the process
// lasts at most the time-out too, so one target takes at most nine time-outs.
// A window of the calling process itself is never sent to or terminated, nor
// one whose process runs another program than the installation's
// Zevrino.exe (a window handle in the mapping is anybody's to write).

#include <windows.h>

#include <array>
#include <string>

namespace zevrino::desktop::installer {

constexpr DWORD kCloseTimeoutMs = 5000;

using CloseMessages = std::array<UINT, 4>;
constexpr CloseMessages kApplicationCloseMessages = {WM_QUERYENDSESSION, WM_CLOSE, WM_QUIT,
                                                     WM_DESTROY};
constexpr CloseMessages kHttpsListenerCloseMessages = {WM_APP + 1, WM_CLOSE, WM_QUIT, WM_DESTROY};

// True when the application's mutex (kApplicationMutexName) exists. When
// `window` is given it receives the application's main window (null when
// none is found).
bool IsApplicationRunning(HWND* window = nullptr);

// The main window: from the application's window-handle mapping, else by its
// window class. Null when neither finds one.
HWND FindApplicationWindow();

// Closes the running application, `application` (the installation's
// Zevrino.exe, full path); true when its process ended. False, with nothing
// sent, when the application is not running, has no window, or its window
// belongs to a process of another program.
bool CloseApplication(const std::wstring& application, DWORD timeout_ms = kCloseTimeoutMs);

// Closes the HTTPS listener window of `application` when one exists.
void CloseHttpsListener(const std::wstring& application, DWORD timeout_ms = kCloseTimeoutMs);

// Sends `messages` in order to `window` until its process ends after one of
// them; when none ends it, terminates the process. True when it ended.
// Nothing is sent, and false returned, unless the window's process runs
// `application` (the same file, whatever the path's spelling).
bool CloseWindowProcess(HWND window, const std::wstring& application, DWORD timeout_ms,
                        const CloseMessages& messages);

// Sends `message` to `window` (SMTO_ABORTIFHUNG, at most `timeout_ms`) and,
// when the window answered, waits up to `timeout_ms` for the window's process
// to end. True when it ended.
bool SendAndWaitForExit(HWND window, UINT message, DWORD timeout_ms);

// Terminates the process of `window` with exit code 0 and waits up to
// `timeout_ms` for it to end. True when it ended.
bool TerminateWindowProcess(HWND window, DWORD timeout_ms);

}  // namespace zevrino::desktop::installer
