#pragma once
// The checks before an installer run touches the disk.

#include <windows.h>

namespace zevrino::desktop::installer {

// "Zevrino Update Started Interactive Mutex" while this process holds it,
// else null. The web installer closes it before it starts the full
// installer.
extern HANDLE InteractiveMutex;

// Creates the named mutex `name`; false when it already existed (another
// installer holds it) or could not be created. On success *handle (when
// given) receives it and it stays open until the process ends or the
// holder closes it.
bool TryCreateMutex(const wchar_t* name, HANDLE* handle = nullptr);

// Windows 10 or later; otherwise says so unless `silent` and returns false.
bool CheckWindowsVersion(bool silent);

// Not an elevated administrator; otherwise says so unless `silent`.
bool CheckAccount(bool silent);

// A Store installation of the application exists for this user.
bool IsStorePackageInstalled();

}  // namespace zevrino::desktop::installer
