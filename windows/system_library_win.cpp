#include "windows/system_library_win.h"

namespace zevrino::desktop::installer {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace zevrino::desktop::installer
