#include "installer_stub/update_flow.h"

#include "installer/named_objects.h"
#include "installer/path_utf8.h"
#include "installer/product_settings.h"
#include "installer_stub/log_lines.h"
#include "logging/log.h"

namespace zevrino::desktop::installer {
namespace {

// Waits until no other process holds "Zevrino Update Started Mutex", then
// holds it. Once this process holds it (a Retry), there is nothing to wait
// for. A mutex that could not be created counts as free, as it does for the
// normal install, and is tried again by the next attempt.
void TakeUpdateStartedMutex(UpdateSystem& system, UpdateMutexes& held,
                            const UpdateTimings& timings) {
  if (held.started) {
    return;
  }
  for (;;) {
    system.Sleep(timings.started_mutex_poll_ms);
    if (system.TryHoldNewNamedMutex(kUpdateStartedMutexName, &held.started)) {
      return;
    }
  }
}

// Where the update goes. kSuccess with *target (resolved) and *is_default
// set; 24 for a target that does not exist or holds no installation of this
// product; 35 when the default installation is needed but unknown. Nothing
// is changed on the way.
ResultCode ChooseUpdateTarget(const char* path, UpdateSystem& system, std::string* target,
                              bool* is_default) {
  const PathsEqualFunction paths_equal = [&system](const char* a, const char* b) {
    return system.PathsEqual(a, b);
  };
  const char* default_directory = system.DefaultInstallDirectory();
  const std::string fallback = default_directory != nullptr ? default_directory : "";
  const std::string named = UpdateTargetDirectory(path, fallback.c_str(), paths_equal);
  if (!named.empty() && !paths_equal(named.c_str(), fallback.c_str())) {
    const std::string resolved =
        IsFullyQualifiedPath(named) ? system.ResolveExistingDirectory(named) : "";
    if (resolved.empty()) {
      return kInstallDirNotWritable;
    }
    if (!IsForbiddenUpdateTarget(resolved, system.ProtectedFolders(), paths_equal)) {
      const std::string resolved_default = system.ResolveExistingDirectory(fallback);
      if (resolved_default.empty() || !paths_equal(resolved.c_str(), resolved_default.c_str())) {
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

// Where the update goes, and which folder and file that is.
struct UpdateTarget {
  std::string directory;
  bool is_default = false;
  bool identified = false;
  InstallationIdentity identity;
};

ResultCode FindUpdateTarget(const char* path, UpdateSystem& system, UpdateTarget* target) {
  const ResultCode chosen =
      ChooseUpdateTarget(path, system, &target->directory, &target->is_default);
  if (chosen == kSuccess) {
    target->identified = system.IdentifyInstallation(target->directory, &target->identity);
  }
  return chosen;
}

// After a wait, anyone may have swapped the folder or its names: the target
// is looked for again and must be the same folder holding the same file.
bool TargetStillHeld(const char* path, UpdateSystem& system, const UpdateTarget& target) {
  UpdateTarget again;
  const bool held = FindUpdateTarget(path, system, &again) == kSuccess &&
                    again.is_default == target.is_default &&
                    system.PathsEqual(again.directory.c_str(), target.directory.c_str()) &&
                    again.identified == target.identified &&
                    (!target.identified || again.identity == target.identity);
  if (!held) {
    logging::log_message(logging::kLevelError, "", kLineUpdateTargetChanged,
                         "Zevrino Installer - The installation to update changed while waiting: %s",
                         target.directory.c_str());
  }
  return held;
}

}  // namespace

ResultCode RunUpdate(const char* path, const PayloadReader& reader, UpdateSystem& system,
                     UpdateMutexes& held, const UpdateTimings& timings) {
  UpdateTarget found;
  const ResultCode chosen = FindUpdateTarget(path, system, &found);
  const std::string& target = found.directory;
  const bool is_default = found.is_default;
  if (chosen != kSuccess) {
    logging::log_message(logging::kLevelError, "", kLineNoInstallationToUpdate,
                         "Zevrino Installer - No installation of Zevrino to update: %d",
                         ResultNumber(chosen));
    return chosen;
  }
  system.DeleteStartupEntry();
  const std::string executable = JoinPath(target, kApplicationFileName);

  if (!held.update) {
    held.update = system.HoldNamedMutex(kUpdateMutexName);
  }
  TakeUpdateStartedMutex(system, held, timings);
  if (!TargetStillHeld(path, system, found)) {
    return kInstallDirNotWritable;
  }

  // An update that may not run leaves the running application alone.
  if (system.NamedMutexExists(kUpdateFailedMutexName)) {
    return kSuccess;
  }
  system.CloseRunningApplication(target);

  const FileAccess access =
      WaitForExclusiveAccess(system, executable.c_str(), timings.exclusive_access);
  if (access == FileAccess::kInUse) {
    return kFileInUse;
  }
  // Nothing has changed in the installation yet; from here on it will.
  if (!TargetStillHeld(path, system, found)) {
    return kInstallDirNotWritable;
  }
  // The default installation is the user's own folder and is not tested.
  if (!is_default && (access == FileAccess::kDenied || !system.CanCreateFileIn(target))) {
    return kInstallDirNotWritable;
  }

  ResultCode result = system.InstallAndRegister(target, reader);
  if (result == kSuccess && !system.StartApplication(target.c_str(), kUpdateCompleteArgument)) {
    result = kLaunchFailed;
  }
  return result;
}

FileAccess WaitForExclusiveAccess(UpdateSystem& system, const char* path,
                                  const ExclusiveAccessSchedule& schedule) {
  for (unsigned failures = 1;; ++failures) {
    const FileAccess access = system.OpenExclusively(path);
    if (access != FileAccess::kInUse) {
      return access;
    }
    const std::optional<unsigned> wait = WaitAfterFailure(failures, schedule);
    if (!wait) {
      return FileAccess::kInUse;
    }
    system.Sleep(*wait);
  }
}

}  // namespace zevrino::desktop::installer
