#include "installer_stub/update_flow_win.h"

#include <cstdlib>
#include <memory>

#include "installer/path_utf8.h"
#include "installer/wide_path.h"
#include "installer/wide_text_win.h"
#include "logging/log.h"

namespace zevrino::desktop::installer {
namespace {

struct FreeDeleter {
  void operator()(char* text) const { std::free(text); }
};
using HeapText = std::unique_ptr<char, FreeDeleter>;

// Waits until no other process holds "Zevrino Update Started Mutex", then
// holds it. Once this process holds it (a Retry), there is nothing to wait
// for. A mutex that could not be created counts as free, as it does for the
// normal install, and is tried again by the next attempt.
void TakeUpdateStartedMarker(UpdateSystem& system, UpdateMarkers& markers,
                             const UpdateTimings& timings) {
  if (markers.started.valid()) {
    return;
  }
  for (;;) {
    system.Sleep(timings.started_mutex_poll_ms);
    HANDLE handle = nullptr;
    if (system.TryCreateMarker(kUpdateStartedMutexName, &handle)) {
      markers.started = ScopedKernelHandle(handle);
      return;
    }
  }
}

// True when a new file can be created in `directory`. The file is made new
// (never opened through whatever a name might already hold, a link
// included) and goes when its handle is closed.
bool CanCreateFileIn(const std::string& directory) {
  const HeapText probe(join_path(directory.c_str(), kWriteTestFileName));
  const std::wstring wide = probe == nullptr ? std::wstring() : Utf8ToWide(probe.get());
  if (wide.empty()) {
    return false;
  }
  const ScopedFileHandle file(
      ::CreateFileW(ExtendedLengthPath(wide).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  return file.valid();
}

// Where the update goes. kSuccess with *target (resolved) and *is_default
// set; 24 for a target that does not exist or holds no installation of this
// product; 35 when the default installation is needed but unknown. Nothing
// is changed on the way.
ResultCode ChooseUpdateTarget(const char* path, UpdateSystem& system, std::string* target,
                              bool* is_default) {
  const char* default_directory = system.DefaultInstallDirectory();
  const std::string fallback = default_directory != nullptr ? default_directory : "";
  const std::string named = UpdateTargetDirectory(path, fallback.c_str(), PathsEqualIgnoreCase);
  if (!named.empty() && !PathsEqualIgnoreCase(named.c_str(), fallback.c_str())) {
    const std::string resolved = IsFullyQualifiedPath(named) ? ResolveExistingDirectory(named) : "";
    if (resolved.empty()) {
      return kInstallDirNotWritable;
    }
    if (!IsForbiddenUpdateTarget(resolved, system.ProtectedFolders(), PathsEqualIgnoreCase)) {
      const std::string resolved_default = ResolveExistingDirectory(fallback);
      if (resolved_default.empty() ||
          !PathsEqualIgnoreCase(resolved.c_str(), resolved_default.c_str())) {
        if (!system.HoldsInstallation(resolved)) {
          return kInstallDirNotWritable;
        }
        *target = resolved;
        *is_default = false;
        return kSuccess;
      }
    }
  }
  if (default_directory == nullptr) {
    return kNoAppDataFolder;
  }
  *target = fallback;
  *is_default = true;
  return kSuccess;
}

}  // namespace

ResultCode RunUpdate(const char* path, const PayloadReader& reader, UpdateSystem& system,
                     UpdateMarkers& markers, const UpdateTimings& timings) {
  std::string target;
  bool is_default = false;
  const ResultCode chosen = ChooseUpdateTarget(path, system, &target, &is_default);
  if (chosen != kSuccess) {
    logging::log_message(2, "", __LINE__,
                         "Zevrino Installer - No installation of Zevrino to update: %d",
                         static_cast<int>(chosen));
    return chosen;
  }
  system.DeleteStartupEntry();
  const HeapText executable(join_path(target.c_str(), "Zevrino.exe"));
  if (executable == nullptr) {
    return kOutOfMemory;
  }

  if (!markers.update.valid()) {
    markers.update = ScopedKernelHandle(system.CreateMarker(kUpdateMutexName));
  }
  TakeUpdateStartedMarker(system, markers, timings);

  // An update that may not run leaves the running application alone.
  if (system.MarkerExists(kUpdateFailedMutexName)) {
    return kSuccess;
  }
  system.CloseRunningApplication();

  const DWORD access =
      WaitForExclusiveAccess(executable.get(), timings.exclusive_access,
                             [&system](unsigned milliseconds) { system.Sleep(milliseconds); });
  if (access == ERROR_SHARING_VIOLATION) {
    return kFileInUse;
  }
  // The default installation is the user's own folder and is not tested.
  if (!is_default && (access == ERROR_ACCESS_DENIED || !CanCreateFileIn(target))) {
    return kInstallDirNotWritable;
  }

  std::wstring wide_target;
  if (!Utf8ToWidePath(target.c_str(), &wide_target)) {
    return kPathConversionFailed;
  }
  ResultCode result = system.InstallAndRegister(wide_target, reader);
  if (result == kSuccess && !system.StartApplication(target.c_str(), kUpdateCompleteArgument)) {
    result = kLaunchFailed;
  }
  return result;
}

std::string ResolveExistingDirectory(const std::string& directory) {
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
  const DWORD final_size = ::GetFinalPathNameByHandleW(handle.get(), nullptr, 0, kFlags);
  std::wstring final_path(final_size, L'\0');
  const DWORD final_length =
      ::GetFinalPathNameByHandleW(handle.get(), final_path.data(), final_size, kFlags);
  if (final_size == 0 || final_length == 0 || final_length >= final_size) {
    return std::string();
  }
  final_path.resize(final_length);
  return WithoutExtendedPrefix(WideToUtf8(final_path));
}

DWORD WaitForExclusiveAccess(const char* path, const ExclusiveAccessSchedule& schedule,
                             const std::function<void(unsigned)>& sleep) {
  for (unsigned failures = 1;; ++failures) {
    DWORD error = ERROR_SUCCESS;
    std::wstring wide;
    if (!Utf8ToWidePath(path, &wide)) {
      error = ERROR_NO_UNICODE_TRANSLATION;
    } else {
      const ScopedFileHandle file(::CreateFileW(ExtendedLengthPath(wide).c_str(),
                                                GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.valid()) {
        return ERROR_SUCCESS;
      }
      error = ::GetLastError();
    }
    if (error != ERROR_SHARING_VIOLATION) {
      return error;
    }
    const std::optional<unsigned> wait = WaitAfterFailure(failures, schedule);
    if (!wait) {
      return ERROR_SHARING_VIOLATION;
    }
    sleep(*wait);
  }
}

bool PathsEqualIgnoreCase(const char* a, const char* b) {
  std::wstring wide_a;
  std::wstring wide_b;
  if (!Utf8ToWidePath(a, &wide_a) || !Utf8ToWidePath(b, &wide_b)) {
    return false;
  }
  return ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, wide_a.c_str(), -1,
                          wide_b.c_str(), -1) == CSTR_EQUAL;
}

}  // namespace zevrino::desktop::installer
