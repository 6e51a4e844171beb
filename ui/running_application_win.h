#pragma once
// Finding the installed application while it runs, and closing it: first by
// window messages, then by terminating its process.

#include <windows.h>

namespace zevrino::desktop::installer {

constexpr DWORD kCloseTimeoutMs = 5000;

// True when the application's process mutex exists. When `window` is given
// it receives the application's main window (null when none is found).
bool IsApplicationRunning(HWND* window = nullptr);

// The main window: from the application's shared handle block, else by its
// window class. Null when neither finds one.
HWND FindApplicationWindow();

// Closes the running application; true when its process ended.
bool CloseApplication(DWORD timeout_ms = kCloseTimeoutMs);

// Closes the application's HTTPS listener window when one exists.
void CloseHttpsListener(DWORD timeout_ms = kCloseTimeoutMs);

}  // namespace zevrino::desktop::installer
