#pragma once
// The three shell32 functions the installer calls, as the Windows functions
// of the same names with the same arguments. shell32 and what it pulls in
// (shlwapi, shcore) are loaded from System32 when one of them is first
// called, not at start: extract runs never need them, an update only to find
// the user's folders, and every DLL loaded at start lengthens every run.

#include <windows.h>

namespace zevrino::desktop::installer {

// SHGetFolderPathW; E_FAIL when shell32 cannot be loaded.
HRESULT ShellGetFolderPath(HWND owner, int csidl, HANDLE token, DWORD flags, wchar_t* path);

// ShellExecuteW; 0 (a failure) when shell32 cannot be loaded.
HINSTANCE ShellExecuteVerb(HWND owner, const wchar_t* verb, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t* directory, int show);

// SHChangeNotify; nothing when shell32 cannot be loaded.
void ShellChangeNotify(LONG event, UINT flags, const void* item1, const void* item2);

}  // namespace zevrino::desktop::installer
