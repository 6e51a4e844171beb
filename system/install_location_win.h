#pragma once
// Where the application is installed, and what is installed there.

namespace zevrino::desktop::installer {

// %APPDATA%\Zevrino, or %APPDATA%\Zevrino-<mu_suffix> when `mu` was given
// (UTF-8; `mu_suffix` is Options::mu_suffix, checked with IsValidMuSuffix).
// Null when the folder cannot be found: there is no per-user place to
// install into, and a folder outside the profile (such as one under C:\)
// may be writable by other users of the machine. Computed by the first call
// and cached for the rest of the process, whatever later calls pass; not
// owned by the caller. Every call is made on the main thread.
const char* DefaultInstallDirectory(const char* mu_suffix);

// The shell folder `csidl` (CSIDL_APPDATA, CSIDL_DESKTOP...) of the current
// user as a heap UTF-8 string that the caller frees with free(); null when
// Windows has no such folder.
char* GetShellFolderPath(int csidl);

// True when Zevrino.exe in `directory` (UTF-8) carries a product version
// that is the same as or newer than the installer's own. Missing files or
// version resources answer false.
bool IsSameOrNewerVersionInstalled(const char* directory);

}  // namespace zevrino::desktop::installer
