#include "installer_stub/update_flow_win.h"

#include <cstdlib>
#include <memory>

#include "installer/path_utf8.h"
#include "installer/wide_text_win.h"

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

// True when an empty file can be created (and is removed again) in
// `directory`.
bool CanCreateFileIn(const std::string& directory) {
  const HeapText probe(join_path(directory.c_str(), kWriteTestFileName));
  if (probe == nullptr) {
    return false;
  }
  const ResultCode written = write_buffer_to_file(probe.get(), "", 0);
  delete_file_utf8(probe.get());
  return written == kSuccess;
}

}  // namespace

ResultCode RunUpdate(const char* path, const PayloadReader& reader, UpdateSystem& system,
                     UpdateMarkers& markers, const UpdateTimings& timings) {
  const std::string default_directory = system.DefaultInstallDirectory();
  system.DeleteStartupEntry();
  const std::string target =
      UpdateTargetDirectory(path, default_directory.c_str(), PathsEqualIgnoreCase);
  const HeapText executable(join_path(target.c_str(), "Zevrino.exe"));
  if (executable == nullptr) {
    return kOutOfMemory;
  }

  if (!markers.update.valid()) {
    markers.update = ScopedKernelHandle(system.CreateMarker(kUpdateMutexName));
  }
  TakeUpdateStartedMarker(system, markers, timings);

  system.CloseRunningApplication();
  if (system.MarkerExists(kUpdateFailedMutexName)) {
    return kSuccess;
  }

  const DWORD access =
      WaitForExclusiveAccess(executable.get(), timings.exclusive_access,
                             [&system](unsigned milliseconds) { system.Sleep(milliseconds); });
  if (access == ERROR_SHARING_VIOLATION) {
    return kFileInUse;
  }
  // The default installation is the user's own folder and is not tested.
  if (!PathsEqualIgnoreCase(target.c_str(), default_directory.c_str())) {
    if (access == ERROR_ACCESS_DENIED || !CanCreateFileIn(target)) {
      return kInstallDirNotWritable;
    }
  }

  wchar_t wide_target[kMaxWidePath];
  if (!Utf8ToWidePath(target.c_str(), wide_target)) {
    return kPathConversionFailed;
  }
  ResultCode result = system.InstallAndRegister(wide_target, reader);
  if (result == kSuccess && !system.StartApplication(target.c_str(), kUpdateCompleteArgument)) {
    result = kLaunchFailed;
  }
  return result;
}

DWORD WaitForExclusiveAccess(const char* path, const ExclusiveAccessSchedule& schedule,
                             const std::function<void(unsigned)>& sleep) {
  for (unsigned failures = 1;; ++failures) {
    DWORD error = ERROR_SUCCESS;
    wchar_t wide[kMaxWidePath];
    if (!Utf8ToWidePath(path, wide)) {
      error = ERROR_NO_UNICODE_TRANSLATION;
    } else {
      const ScopedFileHandle file(::CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
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
  wchar_t wide_a[kMaxWidePath];
  wchar_t wide_b[kMaxWidePath];
  if (!Utf8ToWidePath(a, wide_a) || !Utf8ToWidePath(b, wide_b)) {
    return false;
  }
  return ::CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, wide_a, -1, wide_b, -1) ==
         CSTR_EQUAL;
}

}  // namespace zevrino::desktop::installer
