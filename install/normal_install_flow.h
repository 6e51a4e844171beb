#pragma once
// The order of a normal install once the installer may go on
// (install/install_start_flow.h), over the ports it needs, so that
// the retry loop, the log lines and what happens after a failed start are
// tested without Windows. RunNormalInstallFlow (installer_stub/
// install_start_flow.h) runs it after the first steps.
//
//   1 remove the old start-up value              Registry
//   2 install the files and register them        Installation
//   3 start the application (unless skipped)     RunningApplication, else 17
//   4 failure: silent -> log, return
//              else ShowError; Retry -> 2, else log 714, return
//   5 success: shortcuts, remove leftover update files, log 712, return 0
//   6 whatever the result: delete the old files that the installs of this
//     run replaced, so that neither the start nor the shortcuts wait for that

#include <string>

#include "base/mode_ports.h"
#include "base/result_code.h"

namespace zevrino::desktop::installer {

// The update that the running application downloaded itself; a fresh
// install makes it obsolete and deletes it (step 5).
inline constexpr const wchar_t* kLeftoverUpdateFiles[] = {L"Zevrino_new.exe",
                                                          L"Zevrino_new.exe.sig"};

struct NormalInstallPorts {
  Registry& registry;
  Installation& installation;
  RunningApplication& application;
  Dialogs& dialogs;
  Files& files;
};

// Runs a normal install into `directory`; returns 0 or the result code of
// the failure.
ResultCode RunNormalInstallSteps(const NormalInstallPorts& ports, const std::wstring& directory,
                                 bool silent, bool skip_app_launch);

}  // namespace zevrino::desktop::installer
