#pragma once
// Where the application is installed.

namespace zevrino::desktop::installer {

// %APPDATA%\Zevrino, or %APPDATA%\Zevrino-<mu> when `mu` was given (UTF-8).
// Computed once and cached for the rest of the process; never null; not
// owned by the caller. MuSuffix must be set before the first call.
const char* DefaultInstallDirectory();

}  // namespace zevrino::desktop::installer
