#include "install/install_start_flow.h"

#include "base/named_objects.h"
#include "install/log_lines.h"
#include "logging/log.h"
#include "payload/payload_container.h"

namespace zevrino::desktop::installer {
namespace {

// Marks this run as an install in progress for the update flow of the
// installed application: one try, held until the process ends.
ResultCode TryTakeUpdateStartedMutex(const NormalInstallStartPorts& ports, bool silent) {
  bool held = false;
  if (ports.mutexes.TryTake(kUpdateStartedMutexName, &held)) {
    return kSuccess;
  }
  if (!silent) {
    ports.dialogs.Ask(Question::kInstallationInProgress);
  }
  logging::log_message(logging::kLevelError, "", kLineUpdateInProgress,
                       "Zevrino Installer - Zevrino installation already in progress.");
  return kUpdateInProgress;
}

// Closes the running application with the user's consent and starts the
// progress window of a run that shows one.
ResultCode CloseRunningApplication(const NormalInstallStartPorts& ports,
                                   const InteractiveStart& start) {
  if (!ports.application.IsRunning()) {
    if (!start.silent) {
      ports.dialogs.ShowProgress();
    }
    return kSuccess;
  }
  logging::log_message(logging::kLevelError, "", kLineApplicationRunning,
                       "Zevrino Installer - Zevrino is running.");
  if (start.silent || !ports.dialogs.Ask(Question::kCloseApplication)) {
    return kApplicationRunning;
  }
  ports.dialogs.ShowProgress();
  // A process that will not go surfaces as files in use (14, 18) during the
  // install, where the user may retry.
  ports.application.Close(start.directory);
  return kSuccess;
}

}  // namespace

InteractiveStart StartInteractiveRun(const InteractiveStartPorts& ports, const Options& options,
                                     std::uint16_t payload_flags) {
  InteractiveStart start;
  start.silent = options.silent;
  if (options.webinstall || (payload_flags & kWebInstaller) != 0) {
    // A web run always shows itself: the user started a download.
    start.silent = false;
    logging::log_message(logging::kLevelInfo, "", kLineRunningWebInstaller,
                         "Zevrino Installer - Running web installer.");
  } else {
    logging::log_message(logging::kLevelInfo, "", kLineRunningNormalInstaller,
                         "Zevrino Installer - Running normal installer.");
  }
  bool held = false;
  if (!ports.mutexes.TryTake(kInteractiveMutexName, &held)) {
    if (!start.silent) {
      ports.dialogs.Ask(Question::kInstallationInProgress);
    }
    logging::log_message(logging::kLevelError, "", kLineInteractiveInstallerRunning,
                         "Zevrino Installer - Zevrino installation already in progress.");
    start.result = kInteractiveInstallerRunning;
    return start;
  }
  if (!ports.account.MayInstall(start.silent)) {
    logging::log_message(logging::kLevelError, "", kLineAccountRefused,
                         "Zevrino Installer - Invalid user account for install.");
    start.result = kAccountRefused;
    return start;
  }
  start.directory = ports.probe.DefaultDirectory();
  if (start.directory.empty()) {
    logging::log_message(logging::kLevelError, "", kLineNoAppDataFolder,
                         "Zevrino Installer - The application data folder could not be found.");
    // A Retry would not find the folder: the answer is ignored.
    if (!start.silent) {
      ports.dialogs.ShowError(kNoAppDataFolder);
    }
    start.result = kNoAppDataFolder;
    return start;
  }
  if (!options.webinstall && (payload_flags & kNoReplacePrompt) == 0 &&
      ports.probe.HoldsSameOrNewerVersion(start.directory)) {
    if (!start.silent && !ports.dialogs.Ask(Question::kReplaceInstalled)) {
      start.result = kReplaceDeclined;
      return start;
    }
    logging::log_message(logging::kLevelInfo, "", kLineOverwriting,
                         "Zevrino Installer - Overwriting previously installed version.");
  }
  return start;
}

ResultCode PrepareNormalInstall(const NormalInstallStartPorts& ports,
                                const InteractiveStart& start) {
  ResultCode result = TryTakeUpdateStartedMutex(ports, start.silent);
  if (result == kSuccess) {
    result = CloseRunningApplication(ports, start);
  }
  if (result == kSuccess) {
    ports.application.CloseHttpsListener(start.directory);
  }
  return result;
}

InteractiveStart RunNormalInstallFlow(const NormalInstallFlowPorts& ports, const Options& options,
                                      std::uint16_t payload_flags) {
  InteractiveStart start = StartInteractiveRun(ports.start, options, payload_flags);
  if (start.result == kSuccess) {
    start.result = PrepareNormalInstall(ports.prepare, start);
  }
  if (start.result == kSuccess) {
    start.result = RunNormalInstallSteps(ports.install, start.directory, start.silent,
                                         options.skip_app_launch);
  }
  return start;
}

}  // namespace zevrino::desktop::installer
