#include "windows/shell_functions_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include "windows/system_library_win.h"

namespace zevrino::desktop::installer {

HRESULT ShellGetFolderPath(HWND owner, int csidl, HANDLE token, DWORD flags, wchar_t* path) {
  const auto function =
      GetSystemFunction<decltype(&::SHGetFolderPathW)>(L"shell32.dll", "SHGetFolderPathW");
  return function != nullptr ? function(owner, csidl, token, flags, path) : E_FAIL;
}

HINSTANCE ShellExecuteVerb(HWND owner, const wchar_t* verb, const wchar_t* file,
                           const wchar_t* parameters, const wchar_t* directory, int show) {
  const auto function =
      GetSystemFunction<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW");
  return function != nullptr ? function(owner, verb, file, parameters, directory, show) : nullptr;
}

void ShellChangeNotify(LONG event, UINT flags, const void* item1, const void* item2) {
  const auto function =
      GetSystemFunction<decltype(&::SHChangeNotify)>(L"shell32.dll", "SHChangeNotify");
  if (function != nullptr) {
    function(event, flags, item1, item2);
  }
}

}  // namespace zevrino::desktop::installer
