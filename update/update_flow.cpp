#include "update/update_flow.h"

#include "base/named_objects.h"
#include "base/product_settings.h"
#include "base/wide_path.h"
#include "logging/log.h"
#include "payload/archive_name.h"
#include "update/log_lines.h"

namespace zevrino::desktop::installer {
namespace {

// Waits until no other process holds "Zevrino Update Started Mutex", then
// holds it. Once this process holds it (a Retry), there is nothing to wait
// for. A mutex that could not be created counts as free, as it does for the
// normal install, and is tried again by the next attempt.
void WaitForUpdateStartedMutex(const UpdatePorts& ports, UpdateMutexes& held,
                               const UpdateTimings& timings) {
  if (held.started) {
    return;
  }
  for (;;) {
    ports.clock.Sleep(timings.started_mutex_poll_ms);
    if (ports.mutexes.TryTake(kUpdateStartedMutexName, &held.started)) {
      return;
    }
  }
}

// Where the update goes: its directory as the path arithmetic compares it
// (UTF-8) and as the installation's ports take it.
struct UpdateTarget {
  std::string directory;
  std::wstring wide;
  bool is_default = false;
  bool identified = false;
  InstallationIdentity identity;
};

// Chooses the target. kSuccess with *target set; 24 for a target that does
// not exist or holds no installation of this product; 35 when the default
// installation is needed but unknown (`default_directory` empty). Nothing is
// changed on the way.
ResultCode ChooseUpdateTarget(const char* path, const std::wstring& default_directory,
                              const UpdatePorts& ports, UpdateTarget* target) {
  const PathsEqualFunction paths_equal = [&ports](const char* a, const char* b) {
    return ports.paths.PathsEqual(a, b);
  };
  const std::string fallback = WidePathToUtf8(default_directory);
  const std::string named = UpdateTargetDirectory(path, fallback.c_str(), paths_equal);
  if (!named.empty() && !paths_equal(named.c_str(), fallback.c_str())) {
    const std::string resolved =
        IsFullyQualifiedPath(named) ? ports.paths.ResolveExistingDirectory(named) : "";
    if (resolved.empty()) {
      return kInstallDirNotWritable;
    }
    if (!IsForbiddenUpdateTarget(resolved, ports.paths.ProtectedFolders(), paths_equal)) {
      const std::string resolved_default = ports.paths.ResolveExistingDirectory(fallback);
      if (resolved_default.empty() || !paths_equal(resolved.c_str(), resolved_default.c_str())) {
        if (!Utf8ToWide(resolved.data(), resolved.size(), &target->wide) ||
            !ports.probe.HoldsProduct(target->wide)) {
          return kInstallDirNotWritable;
        }
        target->directory = resolved;
        target->is_default = false;
        return kSuccess;
      }
    }
  }
  if (default_directory.empty()) {
    return kNoAppDataFolder;
  }
  target->directory = fallback;
  target->wide = default_directory;
  target->is_default = true;
  return kSuccess;
}

ResultCode FindUpdateTarget(const char* path, const std::wstring& default_directory,
                            const UpdatePorts& ports, UpdateTarget* target) {
  const ResultCode chosen = ChooseUpdateTarget(path, default_directory, ports, target);
  if (chosen == kSuccess) {
    target->identified = ports.probe.Identify(target->wide, &target->identity);
  }
  return chosen;
}

// After a wait, anyone may have swapped the folder or its names: the target
// is looked for again and must be the same folder holding the same file.
bool TargetStillHeld(const char* path, const std::wstring& default_directory,
                     const UpdatePorts& ports, const UpdateTarget& target) {
  UpdateTarget again;
  const bool held = FindUpdateTarget(path, default_directory, ports, &again) == kSuccess &&
                    again.is_default == target.is_default &&
                    ports.paths.PathsEqual(again.directory.c_str(), target.directory.c_str()) &&
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

ResultCode RunUpdate(const char* path, const UpdatePorts& ports, UpdateMutexes& held,
                     const UpdateTimings& timings) {
  const std::wstring default_directory = ports.probe.DefaultDirectory();
  UpdateTarget found;
  const ResultCode chosen = FindUpdateTarget(path, default_directory, ports, &found);
  if (chosen != kSuccess) {
    logging::log_message(logging::kLevelError, "", kLineNoInstallationToUpdate,
                         "Zevrino Installer - No installation of Zevrino to update: %d",
                         ResultNumber(chosen));
    return chosen;
  }
  const std::wstring& target = found.wide;
  ports.registry.DeleteStartupValue();

  if (!held.update) {
    held.update = ports.mutexes.Hold(kUpdateMutexName);
  }
  WaitForUpdateStartedMutex(ports, held, timings);
  if (!TargetStillHeld(path, default_directory, ports, found)) {
    return kInstallDirNotWritable;
  }

  // An update that may not run leaves the running application alone.
  if (ports.mutexes.Exists(kUpdateFailedMutexName)) {
    return kSuccess;
  }
  ports.application.Close(target);
  ports.application.CloseHttpsListener(target);

  const FileAccess access = WaitForExclusiveAccess(ports.files, ports.clock,
                                                   JoinWidePath(target, kApplicationFileNameWide),
                                                   timings.exclusive_access);
  if (access == FileAccess::kInUse) {
    return kFileInUse;
  }
  // Nothing has changed in the installation yet; from here on it will.
  if (!TargetStillHeld(path, default_directory, ports, found)) {
    return kInstallDirNotWritable;
  }
  // The default installation is the user's own folder and is not tested.
  if (!found.is_default &&
      (access == FileAccess::kDenied || !ports.files.CanCreateFileIn(target))) {
    return kInstallDirNotWritable;
  }

  ResultCode result = ports.installation.InstallAndRegister(target);
  if (result == kSuccess && !ports.application.Start(target, kUpdateCompleteArgument)) {
    result = kLaunchFailed;
  }
  return result;
}

FileAccess WaitForExclusiveAccess(Files& files, Clock& clock, const std::wstring& path,
                                  const ExclusiveAccessSchedule& schedule) {
  for (unsigned failures = 1;; ++failures) {
    const FileAccess access = files.OpenExclusively(path);
    if (access != FileAccess::kInUse) {
      return access;
    }
    const std::optional<unsigned> wait = WaitAfterFailure(failures, schedule);
    if (!wait) {
      return FileAccess::kInUse;
    }
    clock.Sleep(*wait);
  }
}

}  // namespace zevrino::desktop::installer
