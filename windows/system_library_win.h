#pragma once
// DLLs that Windows does not always take from System32 (version, wininet,
// comctl32 and whatever they pull in) are never imported statically: a DLL
// of the same name planted next to the installer, in a Downloads folder,
// would run its code before ours. They are loaded here at run time from
// System32 only, and their functions are looked up by name.
//
// Loaded modules stay loaded until the process ends.

#include <windows.h>

namespace zevrino::desktop::installer {

// LoadLibraryExW(name, LOAD_LIBRARY_SEARCH_SYSTEM32); null on failure with
// the last-error value of the load.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The function `function` of the System32 DLL `library`, or null.
template <typename Function>
Function GetSystemFunction(const wchar_t* library, const char* function) {
  const HMODULE module = LoadSystemLibrary(library);
  if (module == nullptr) {
    return nullptr;
  }
  // GetProcAddress answers a generic FARPROC; the caller names the real type.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, function)));
}

}  // namespace zevrino::desktop::installer
