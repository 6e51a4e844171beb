#include "installer_stub/update_mode_win.h"

#include <shlobj.h>

#include "installer/file_identity_win.h"
#include "installer/link_guard.h"
#include "installer/named_mutex_win.h"
#include "installer/path_utf8.h"
#include "installer/product_settings.h"
#include "installer/scoped_handle_win.h"
#include "installer/wide_path.h"
#include "installer/wide_text_win.h"
#include "installer/windows_file_system_win.h"
#include "payload/module_version_win.h"
#include "system/install_location_win.h"
#include "system/launch_win.h"
#include "system/normal_install_win.h"
#include "system/registry_win.h"
#include "ui/running_application_win.h"

namespace zevrino::desktop::installer {

void WindowsUpdateSystem::Sleep(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

const char* WindowsUpdateSystem::DefaultInstallDirectory() {
  return installer::DefaultInstallDirectory(options_.mu_suffix);
}

std::vector<std::string> WindowsUpdateSystem::ProtectedFolders() {
  std::vector<std::string> folders;
  const HeapString profile(GetShellFolderPath(CSIDL_PROFILE));
  if (profile == nullptr) {
    return folders;
  }
  const std::string resolved = ResolveExistingDirectory(profile.get());
  if (!resolved.empty()) {
    folders.push_back(resolved);
    std::vector<char> parent(resolved.begin(), resolved.end());
    parent.push_back('\0');
    if (strip_last_path_component(parent.data()) != 0) {
      folders.emplace_back(parent.data());
    }
  }
  return folders;
}

bool WindowsUpdateSystem::PathsEqual(const char* a, const char* b) {
  std::wstring wide_a;
  std::wstring wide_b;
  if (!Utf8ToWidePath(a, &wide_a) || !Utf8ToWidePath(b, &wide_b)) {
    return false;
  }
  return ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, wide_a.c_str(), -1,
                          wide_b.c_str(), -1) == CSTR_EQUAL;
}

std::string WindowsUpdateSystem::ResolveExistingDirectory(const std::string& directory) {
  const std::wstring wide = Utf8ToWide(directory);
  if (wide.empty()) {
    return std::string();
  }
  const DWORD full_size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(full_size, L'\0');
  const DWORD full_length = ::GetFullPathNameW(wide.c_str(), full_size, full.data(), nullptr);
  if (full_size == 0 || full_length == 0 || full_length >= full_size) {
    return std::string();
  }
  full.resize(full_length);
  const ScopedFileHandle handle(
      ::CreateFileW(ExtendedLengthPath(full).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION information;
  if (!handle.valid() || !::GetFileInformationByHandle(handle.get(), &information) ||
      (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return std::string();
  }
  constexpr DWORD kFlags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
  const DWORD final_size = final_path_(handle.get(), nullptr, 0, kFlags);
  std::wstring final_path(final_size, L'\0');
  const DWORD final_length =
      final_size == 0 ? 0 : final_path_(handle.get(), final_path.data(), final_size, kFlags);
  if (final_length != 0 && final_length < final_size) {
    final_path.resize(final_length);
    return WithoutExtendedPrefix(WideToUtf8(final_path));
  }
  // Where the file system cannot name the final path, the full path is the
  // answer as long as no element of it is a link whose end it would hide.
  while (full.size() > WideRootLength(full) && IsWideSeparator(full.back())) {
    full.pop_back();  // as a final path has it
  }
  WindowsFileSystem file_system;
  return CrossesLink(file_system, full) ? std::string() : WideToUtf8(full);
}

bool WindowsUpdateSystem::HoldsInstallation(const std::string& directory) {
  const std::wstring wide = Utf8ToWide(JoinPath(directory, kApplicationFileName));
  return !wide.empty() && GetProductName(wide) == kProductName;
}

bool WindowsUpdateSystem::IdentifyInstallation(const std::string& directory,
                                               InstallationIdentity* identity) {
  const std::wstring wide = Utf8ToWide(directory);
  FileIdentity folder;
  if (wide.empty() || !IdentifyFile(wide, &folder)) {
    return false;
  }
  *identity = InstallationIdentity();
  identity->volume = folder.volume;
  identity->folder = folder.index;
  FileIdentity executable;
  if (IdentifyFile(JoinWidePath(wide, kApplicationFileNameWide), &executable)) {
    identity->has_executable = true;
    identity->executable = executable.index;
  }
  return true;
}

void WindowsUpdateSystem::DeleteStartupEntry() {
  DeleteRegistryValue(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                      "Zevrino Web Helper");
}

bool WindowsUpdateSystem::HoldNamedMutex(const wchar_t* name) {
  return installer::HoldNamedMutex(name);
}

bool WindowsUpdateSystem::TryHoldNewNamedMutex(const wchar_t* name, bool* held) {
  HANDLE handle = nullptr;
  if (!TryCreateNamedMutex(name, &handle)) {
    return false;
  }
  // Never closed: the name stays taken until the process ends.
  *held = handle != nullptr;
  return true;
}

bool WindowsUpdateSystem::NamedMutexExists(const wchar_t* name) {
  return installer::NamedMutexExists(name);
}

void WindowsUpdateSystem::CloseRunningApplication(const std::string& directory) {
  const std::wstring application = JoinWidePath(Utf8ToWide(directory), kApplicationFileNameWide);
  CloseApplication(application);
  CloseHttpsListener(application);
}

FileAccess WindowsUpdateSystem::OpenExclusively(const char* path) {
  std::wstring wide;
  if (!Utf8ToWidePath(path, &wide)) {
    return FileAccess::kFailed;
  }
  const ScopedFileHandle file(::CreateFileW(ExtendedLengthPath(wide).c_str(),
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

bool WindowsUpdateSystem::CanCreateFileIn(const std::string& directory) {
  const std::wstring wide = Utf8ToWide(JoinPath(directory, kWriteTestFileName));
  if (wide.empty()) {
    return false;
  }
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

ResultCode WindowsUpdateSystem::InstallAndRegister(const std::string& directory,
                                                   const PayloadReader& reader) {
  std::wstring wide_directory;
  if (!Utf8ToWidePath(directory.c_str(), &wide_directory)) {
    return kPathConversionFailed;
  }
  return installer::InstallAndRegister(wide_directory, reader, true);
}

bool WindowsUpdateSystem::StartApplication(const char* directory, const char* extra_argument) {
  return installer::StartApplication(directory, options_.forwarded, extra_argument);
}

ResultCode RunUpdate(const Options& options, const PayloadReader& reader, UpdateMutexes& held) {
  WindowsUpdateSystem system(options);
  return RunUpdate(options.target_path, reader, system, held);
}

}  // namespace zevrino::desktop::installer
