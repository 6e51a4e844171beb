#pragma once
// The order of a normal install, with every step it takes passed in, so that
// the retry loop, the log lines and what happens after a failed start are
// tested without Windows. RunNormalInstall (normal_install_win.h) binds the
// real steps.
//
//   1 remove the old start-up value              delete_run_value
//   2 install the files and register them        install_and_register
//   3 start the application (unless skipped)     start_application, else 17
//   4 failure: silent -> log, return
//              else ShowError; Retry -> 2, else log 714, return
//   5 success: shortcuts, remove leftover update files, log 712, return 0
//   6 whatever the result: delete the old files that the installs of this
//     run parked (delete_parked_files), so that neither the start nor the
//     shortcuts wait for that

#include <functional>

#include "installer/result_code.h"

namespace zevrino::desktop::installer {

// The update that the running application downloaded itself; a fresh
// install makes it obsolete and deletes it (step 5).
inline constexpr const char* kLeftoverUpdateFiles[] = {"Zevrino_new.exe", "Zevrino_new.exe.sig"};

struct NormalInstallSteps {
  std::function<void()> delete_run_value;
  std::function<ResultCode()> install_and_register;
  // True when the application's process was created.
  std::function<bool()> start_application;
  // True when the user chose Retry.
  std::function<bool(ResultCode)> show_error;
  std::function<void()> create_shortcuts;
  // Deletes one file of the installation directory (UTF-8 path); failures
  // are ignored.
  std::function<void(const char*)> delete_file;
  // Deletes the old files that successful install_and_register calls moved
  // aside instead of deleting them; nothing when no install succeeded.
  std::function<void()> delete_parked_files;
};

// Runs a normal install into `directory` (UTF-8) with `steps`; returns 0 or
// the result code of the failure.
ResultCode RunNormalInstallSteps(const NormalInstallSteps& steps, const char* directory,
                                 bool silent, bool skip_app_launch);

}  // namespace zevrino::desktop::installer
