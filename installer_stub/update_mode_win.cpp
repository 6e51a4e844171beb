// RunUpdate against the real system: registry, named mutexes of this
// session, the running application's windows, the install of the payload
// and the start of the updated application.

#include "installer_stub/update_mode_win.h"

#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "installer/path_utf8.h"
#include "installer/product_settings.h"
#include "installer/wide_text_win.h"
#include "installer_stub/environment_checks_win.h"
#include "installer_stub/update_flow_win.h"
#include "payload/module_version_win.h"
#include "system/install_location_win.h"
#include "system/launch_win.h"
#include "system/normal_install_win.h"
#include "system/registry_win.h"
#include "ui/running_application_win.h"

namespace zevrino::desktop::installer {
namespace {

class WindowsUpdateSystem final : public UpdateSystem {
 public:
  void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }

  const char* DefaultInstallDirectory() override { return installer::DefaultInstallDirectory(); }

  std::vector<std::string> ProtectedFolders() override {
    std::vector<std::string> folders;
    char* profile = GetShellFolderPath(CSIDL_PROFILE);
    if (profile != nullptr) {
      std::string resolved = ResolveExistingDirectory(profile);
      std::free(profile);
      if (!resolved.empty()) {
        folders.push_back(resolved);
        std::vector<char> parent(resolved.begin(), resolved.end());
        parent.push_back('\0');
        if (strip_last_path_component(parent.data()) != 0) {
          folders.emplace_back(parent.data());
        }
      }
    }
    return folders;
  }

  bool HoldsInstallation(const std::string& directory) override {
    char* executable = join_path(directory.c_str(), "Zevrino.exe");
    const std::wstring wide = Utf8ToWide(executable);
    std::free(executable);
    return !wide.empty() && GetProductName(wide) == kProductName;
  }

  void DeleteStartupEntry() override {
    DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                        "Zevrino Web Helper");
  }

  HANDLE CreateMarker(const wchar_t* name) override { return ::CreateMutexW(nullptr, FALSE, name); }

  bool TryCreateMarker(const wchar_t* name, HANDLE* handle) override {
    return TryCreateMutex(name, handle);
  }

  bool MarkerExists(const wchar_t* name) override {
    const ScopedKernelHandle mutex(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name));
    return mutex.valid();
  }

  void CloseRunningApplication() override {
    CloseApplication();
    CloseHttpsListener();
  }

  ResultCode InstallAndRegister(const std::wstring& directory,
                                const PayloadReader& reader) override {
    return installer::InstallAndRegister(directory, reader, true);
  }

  bool StartApplication(const char* directory, const char* extra_argument) override {
    return installer::StartApplication(directory, extra_argument);
  }
};

}  // namespace

ResultCode RunUpdate(const char* path, const PayloadReader& reader) {
  // Both live until the process ends: the mutexes they hold mark a running
  // update to other processes, and a Retry finds them taken by itself.
  static WindowsUpdateSystem system;
  static UpdateMarkers markers;
  return RunUpdate(path, reader, system, markers);
}

}  // namespace zevrino::desktop::installer
