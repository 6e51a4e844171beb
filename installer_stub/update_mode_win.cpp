// RunUpdate against the real system: registry, named mutexes of this
// session, the running application's windows, the install of the payload
// and the start of the updated application.

#include "installer_stub/update_mode_win.h"

#include "installer_stub/environment_checks_win.h"
#include "installer_stub/update_flow_win.h"
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
