#include "system/normal_install_win.h"

#include <windows.h>

#include "installer/path_utf8.h"
#include "installer/wide_text_win.h"
#include "payload/extract_archive.h"
#include "system/launch_win.h"
#include "system/normal_install_flow.h"
#include "system/registry_win.h"
#include "ui/error_dialog_win.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry) {
  return InstallAndRegister(directory, reader, register_entry, ExtractOptions());
}

ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry, const ExtractOptions& options) {
  ExtractOptions counted = options;
  std::uint64_t installed_bytes = 0;
  counted.installed_bytes = &installed_bytes;
  const ResultCode result = ExtractArchive(directory, reader, counted);
  if (result == kSuccess && register_entry) {
    RegisterUninstallEntry(WideToUtf8(directory).c_str(), installed_bytes);
  }
  return result;
}

ResultCode RunNormalInstall(const char* directory, const PayloadReader& reader, bool silent,
                            bool skip_app_launch, const ForwardedArguments& forwarded,
                            UiThread& ui) {
  std::wstring wide_directory;
  // A directory that does not convert is reported like any other failed
  // install step, so that an interactive run still shows its dialog.
  Utf8ToWidePath(directory, &wide_directory);
  std::vector<std::wstring> parked_files;
  ExtractOptions options;
  options.parked_files = &parked_files;
  // Deleted after the install: a link at either name goes with the commit.
  for (const char* name : kLeftoverUpdateFiles) {
    options.guarded_names.push_back(Utf8ToWide(name));
  }
  options.cancel = WindowCancelPoints(ui);
  NormalInstallSteps steps;
  steps.delete_run_value = [] { DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, kRunValueName); };
  steps.install_and_register = [&]() -> ResultCode {
    if (wide_directory.empty()) {
      return kPathConversionFailed;
    }
    return InstallAndRegister(wide_directory, reader, true, options);
  };
  steps.start_application = [directory, &forwarded] {
    return StartApplication(directory, forwarded);
  };
  steps.show_error = [&ui](ResultCode code) { return ShowError(ui, code); };
  steps.create_shortcuts = [directory] { CreateShortcuts(directory); };
  steps.delete_file = [](const char* path) { delete_file_utf8(path); };
  steps.delete_parked_files = [&parked_files] {
    DeleteParkedFiles(parked_files);
    parked_files.clear();
  };
  return RunNormalInstallSteps(steps, directory, silent, skip_app_launch);
}

}  // namespace zevrino::desktop::installer
