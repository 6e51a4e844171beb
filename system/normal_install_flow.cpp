#include "system/normal_install_flow.h"

#include "installer/path_utf8.h"
#include "logging/log.h"
#include "system/log_lines.h"

namespace zevrino::desktop::installer {
namespace {

void DeleteLeftoverUpdateFiles(const NormalInstallSteps& steps, const char* directory) {
  for (const char* name : kLeftoverUpdateFiles) {
    steps.delete_file(JoinPath(directory, name).c_str());
  }
}

ResultCode InstallStartAndLink(const NormalInstallSteps& steps, const char* directory, bool silent,
                               bool skip_app_launch) {
  for (;;) {
    ResultCode result = steps.install_and_register();
    if (silent && result != kSuccess) {
      logging::log_message(logging::kLevelError, "", kLineSilentInstallFailed,
                           "Zevrino Installer - Normal installer error: %d", ResultNumber(result));
      return result;
    }
    if (result == kSuccess) {
      if (skip_app_launch || steps.start_application()) {
        steps.create_shortcuts();
        DeleteLeftoverUpdateFiles(steps, directory);
        logging::log_message(logging::kLevelInfo, "", kLineNormalInstallSucceeded,
                             "Zevrino Installer - Normal installer success");
        return kSuccess;
      }
      result = kLaunchFailed;
      if (silent) {
        logging::log_message(logging::kLevelError, "", kLineSilentStartFailed,
                             "Zevrino Installer - Normal installer error starting sub process: %s",
                             directory);
        return result;
      }
    }
    // The dialog of 17 offers only OK, so a failed start ends here too.
    if (!steps.show_error(result)) {
      logging::log_message(logging::kLevelError, "", kLineNormalInstallFailed,
                           "Zevrino Installer - Normal installer error: %d", ResultNumber(result));
      return result;
    }
  }
}

}  // namespace

ResultCode RunNormalInstallSteps(const NormalInstallSteps& steps, const char* directory,
                                 bool silent, bool skip_app_launch) {
  steps.delete_run_value();
  const ResultCode result = InstallStartAndLink(steps, directory, silent, skip_app_launch);
  // Also after a failed start: the new files are committed all the same, and
  // the old ones are no part of the installation any more.
  steps.delete_parked_files();
  return result;
}

}  // namespace zevrino::desktop::installer
