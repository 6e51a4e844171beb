#include "update/update_mode_win.h"

#include <shlobj.h>

#include "base/path_utf8.h"
#include "base/wide_path.h"
#include "files/link_guard.h"
#include "files/windows_file_system_win.h"
#include "install/install_location_win.h"
#include "install/mode_ports_win.h"
#include "windows/named_mutex_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {

std::vector<std::string> WindowsUpdatePaths::ProtectedFolders() {
  std::vector<std::string> folders;
  const std::string profile = GetShellFolderPath(CSIDL_PROFILE);
  if (profile.empty()) {
    return folders;
  }
  const std::string resolved = ResolveExistingDirectory(profile);
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

bool WindowsUpdatePaths::PathsEqual(const char* a, const char* b) {
  std::wstring wide_a;
  std::wstring wide_b;
  if (!Utf8ToWidePath(a, &wide_a) || !Utf8ToWidePath(b, &wide_b)) {
    return false;
  }
  return ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, wide_a.c_str(), -1,
                          wide_b.c_str(), -1) == CSTR_EQUAL;
}

std::string WindowsUpdatePaths::ResolveExistingDirectory(const std::string& directory) {
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

ResultCode RunUpdate(const Options& options, const PayloadReader& reader, NamedMutexes& mutexes,
                     UpdateMutexes& held) {
  WindowsUpdatePaths paths;
  WindowsInstallationProbe probe(options.mu_suffix);
  WindowsFiles files;
  WindowsRegistry registry;
  WindowsRunningApplication application(options.forwarded);
  const ExtractOptions extract_options;
  WindowsInstallation installation(reader, extract_options);
  WindowsClock clock;
  return RunUpdate(options.target_path,
                   {paths, probe, files, registry, mutexes, application, installation, clock},
                   held);
}

}  // namespace zevrino::desktop::installer
