#pragma once
// Where the application is installed, and what is installed there.

#include <string>

namespace zevrino::desktop::installer {

// %APPDATA%\Zevrino, or %APPDATA%\Zevrino-<mu_suffix> when `mu` was given
// (`mu_suffix` is Options::mu_suffix, UTF-8, checked with IsValidMuSuffix).
// Empty when the folder cannot be found: there is no per-user place to
// install into, and a folder outside the profile (such as one under C:\)
// may be writable by other users of the machine. Asked anew by every call:
// the flow that chooses the directory calls once and passes it on.
std::wstring DefaultInstallDirectory(const char* mu_suffix);

// The shell folder `csidl` (CSIDL_APPDATA, CSIDL_DESKTOP...) of the current
// user in UTF-8; empty when Windows has no such folder.
std::string GetShellFolderPath(int csidl);

// True when Zevrino.exe in `directory` carries a product version
// that is the same as or newer than the installer's own. Missing files or
// version resources answer false.
bool IsSameOrNewerVersionInstalled(const std::wstring& directory);

}  // namespace zevrino::desktop::installer
