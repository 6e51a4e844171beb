#include "system/install_location_win.h"

#include <shlobj.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "installer/path_utf8.h"
#include "installer/product_settings.h"
#include "installer/shell_functions_win.h"
#include "installer/wide_text_win.h"
#include "payload/module_version_win.h"
#include "system/version_compare.h"

namespace zevrino::desktop::installer {
namespace {

constexpr int kUtf8PathBufferSize = 4096;

// Written once by the first DefaultInstallDirectory call, then read-only.
const char* install_directory_cache = nullptr;
bool install_directory_known = false;

}  // namespace

char* GetShellFolderPath(int csidl) {
  wchar_t wide[MAX_PATH];
  if (FAILED(ShellGetFolderPath(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, wide))) {
    return nullptr;
  }
  char utf8[kUtf8PathBufferSize];
  if (::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) == 0) {
    return nullptr;
  }
  return concat_strings(1, utf8);
}

const char* DefaultInstallDirectory(const char* mu_suffix) {
  if (install_directory_known) {
    return install_directory_cache;
  }
  install_directory_known = true;
  char* app_data = GetShellFolderPath(CSIDL_APPDATA);
  if (app_data == nullptr) {
    return nullptr;
  }
  char* name = mu_suffix == nullptr ? concat_strings(1, "Zevrino")
                                    : concat_strings(3, "Zevrino", "-", mu_suffix);
  // The cache lives until the process ends.
  install_directory_cache = join_path(app_data, name);
  std::free(name);
  std::free(app_data);
  return install_directory_cache;
}

bool IsSameOrNewerVersionInstalled(const char* directory) {
  const std::string own = GetOwnProductVersion();
  if (own.empty()) {
    return false;
  }
  char* executable = join_path(directory, kApplicationFileName);
  std::wstring wide;
  const bool converted = Utf8ToWidePath(executable, &wide);
  std::free(executable);
  if (!converted) {
    return false;
  }
  const std::string installed = GetProductVersion(wide);
  return !installed.empty() && IsVersionNotNewer(own.c_str(), installed.c_str());
}

}  // namespace zevrino::desktop::installer
