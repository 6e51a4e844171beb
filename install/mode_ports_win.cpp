#include "install/mode_ports_win.h"

#include <windows.h>

#include "base/product_settings.h"
#include "base/wide_path.h"
#include "files/windows_file_system_win.h"
#include "install/install_location_win.h"
#include "install/launch_win.h"
#include "install/normal_install_win.h"
#include "install/registry_win.h"
#include "payload/module_version_win.h"
#include "ui/running_application_win.h"
#include "windows/file_identity_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

std::wstring ApplicationIn(const std::wstring& directory) {
  return JoinWidePath(directory, kApplicationFileNameWide);
}

}  // namespace

void WindowsClock::Sleep(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

std::wstring WindowsInstallationProbe::DefaultDirectory() {
  return DefaultInstallDirectory(mu_suffix_);
}

bool WindowsInstallationProbe::HoldsProduct(const std::wstring& directory) {
  return !directory.empty() && GetProductName(ApplicationIn(directory)) == kProductName;
}

bool WindowsInstallationProbe::HoldsSameOrNewerVersion(const std::wstring& directory) {
  return IsSameOrNewerVersionInstalled(directory);
}

bool WindowsInstallationProbe::Identify(const std::wstring& directory,
                                        InstallationIdentity* identity) {
  FileIdentity folder;
  if (directory.empty() || !IdentifyFile(directory, &folder)) {
    return false;
  }
  *identity = InstallationIdentity();
  identity->volume = folder.volume;
  identity->folder = folder.index;
  FileIdentity executable;
  if (IdentifyFile(ApplicationIn(directory), &executable)) {
    identity->has_executable = true;
    identity->executable = executable.index;
  }
  return true;
}

FileAccess WindowsFiles::OpenExclusively(const std::wstring& path) {
  if (path.empty()) {
    return FileAccess::kFailed;
  }
  const ScopedFileHandle file(::CreateFileW(ExtendedLengthPath(path).c_str(),
                                            GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.valid()) {
    return FileAccess::kOpened;
  }
  switch (::GetLastError()) {
    case ERROR_SHARING_VIOLATION:
      return FileAccess::kInUse;
    case ERROR_ACCESS_DENIED:
      return FileAccess::kDenied;
    default:
      return FileAccess::kFailed;
  }
}

bool WindowsFiles::CanCreateFileIn(const std::wstring& directory) {
  if (directory.empty()) {
    return false;
  }
  const std::wstring wide = JoinWidePath(directory, kWriteTestFileName);
  const std::wstring name = ExtendedLengthPath(wide);
  const auto create = [&name] {
    return ScopedFileHandle(::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                          nullptr));
  };
  if (create().valid()) {
    return true;
  }
  // A run that crashed may have left its test file: a plain file there is
  // ours to remove (never a folder or a link, also one whose attributes do
  // not show it), and the test is made once more.
  WindowsFileSystem file_system;
  ErrorCode error;
  return !file_system.IsLink(wide, error) && !error && file_system.IsRegularFile(wide, error) &&
         ::DeleteFileW(name.c_str()) && create().valid();
}

void WindowsFiles::Delete(const std::wstring& path) {
  ::DeleteFileW(ExtendedLengthPath(path).c_str());
}

void WindowsRegistry::DeleteStartupValue() {
  DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName);
}

bool WindowsRunningApplication::IsRunning() {
  return IsApplicationRunning();
}

void WindowsRunningApplication::Close(const std::wstring& directory) {
  CloseApplication(ApplicationIn(directory));
}

void WindowsRunningApplication::CloseHttpsListener(const std::wstring& directory) {
  installer::CloseHttpsListener(ApplicationIn(directory));
}

bool WindowsRunningApplication::Start(const std::wstring& directory, const char* extra) {
  return StartApplication(directory, forwarded_, extra);
}

ResultCode WindowsInstallation::InstallAndRegister(const std::wstring& directory) {
  // A directory that does not convert is reported like any other failed
  // install step, so that an interactive run still shows its dialog.
  if (directory.empty()) {
    return kPathConversionFailed;
  }
  return installer::InstallAndRegister(directory, reader_, true, options_);
}

void WindowsInstallation::DeleteReplacedFiles() {
  if (options_.parked_files != nullptr) {
    DeleteParkedFiles(*options_.parked_files);
    options_.parked_files->clear();
  }
}

void WindowsInstallation::CreateShortcuts(const std::wstring& directory) {
  installer::CreateShortcuts(directory);
}

}  // namespace zevrino::desktop::installer
