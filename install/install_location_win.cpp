#include "install/install_location_win.h"

#include <shlobj.h>
#include <windows.h>

#include "base/product_settings.h"
#include "base/wide_path.h"
#include "install/version_compare.h"
#include "payload/module_version_win.h"
#include "windows/shell_functions_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
std::string GetShellFolderPath(int csidl) {
  wchar_t wide[MAX_PATH];
  if (FAILED(ShellGetFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, wide))) {
    return std::string();
  }
  return WideToUtf8(wide);
}

std::wstring DefaultInstallDirectory(const char* mu_suffix) {
  wchar_t app_data[MAX_PATH];
  if (FAILED(ShellGetFolderPath(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, app_data))) {
    return std::wstring();
  }
  std::wstring name = L"Zevrino";
  if (mu_suffix != nullptr) {
    name += L"-" + Utf8ToWide(mu_suffix);
  }
  return JoinWidePath(app_data, name);
}

bool IsSameOrNewerVersionInstalled(const std::wstring& directory) {
  const std::string own = GetOwnProductVersion();
  if (own.empty()) {
    return false;
  }
  const std::string installed =
      GetProductVersion(JoinWidePath(directory, kApplicationFileNameWide));
  return !installed.empty() && IsVersionNotNewer(own.c_str(), installed.c_str());
}

}  // namespace zevrino::desktop::installer
