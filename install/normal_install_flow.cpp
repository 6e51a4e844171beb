#include "install/normal_install_flow.h"

#include "base/wide_path.h"
#include "install/log_lines.h"
#include "logging/log.h"

namespace zevrino::desktop::installer {
namespace {

void DeleteLeftoverUpdateFiles(const NormalInstallPorts& ports, const std::wstring& directory) {
  for (const wchar_t* name : kLeftoverUpdateFiles) {
    ports.files.Delete(JoinWidePath(directory, name));
  }
}

ResultCode InstallStartAndLink(const NormalInstallPorts& ports, const std::wstring& directory,
                               bool silent, bool skip_app_launch) {
  for (;;) {
    ResultCode result = ports.installation.InstallAndRegister(directory);
    if (silent && result != kSuccess) {
      logging::log_message(logging::kLevelError, "", kLineSilentInstallFailed,
                           "Zevrino Installer - Normal installer error: %d", ResultNumber(result));
      return result;
    }
    if (result == kSuccess) {
      if (skip_app_launch || ports.application.Start(directory, nullptr)) {
        ports.installation.CreateShortcuts(directory);
        DeleteLeftoverUpdateFiles(ports, directory);
        logging::log_message(logging::kLevelInfo, "", kLineNormalInstallSucceeded,
                             "Zevrino Installer - Normal installer success");
        return kSuccess;
      }
      result = kLaunchFailed;
      if (silent) {
        logging::log_message(logging::kLevelError, "", kLineSilentStartFailed,
                             "Zevrino Installer - Normal installer error starting sub process: %s",
                             WidePathToUtf8(directory).c_str());
        return result;
      }
    }
    // The dialog of 17 offers only OK, so a failed start ends here too.
    if (!ports.dialogs.ShowError(result)) {
      logging::log_message(logging::kLevelError, "", kLineNormalInstallFailed,
                           "Zevrino Installer - Normal installer error: %d", ResultNumber(result));
      return result;
    }
  }
}

}  // namespace

ResultCode RunNormalInstallSteps(const NormalInstallPorts& ports, const std::wstring& directory,
                                 bool silent, bool skip_app_launch) {
  ports.registry.DeleteStartupValue();
  const ResultCode result = InstallStartAndLink(ports, directory, silent, skip_app_launch);
  // Also after a failed start: the new files are committed all the same, and
  // the old ones are no part of the installation any more.
  ports.installation.DeleteReplacedFiles();
  return result;
}

}  // namespace zevrino::desktop::installer
