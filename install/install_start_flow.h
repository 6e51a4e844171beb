#pragma once
// The first steps of the web and normal installs, in this order, over the
// ports they need (base/mode_ports.h):
//
//   1 log the kind of run (a web run always shows itself)
//   2 "Zevrino Update Started Interactive Mutex" taken, else 20
//   3 the account, else 23
//   4 the installation directory, chosen here once, else 35
//   5 the same or a newer version installed: ask before replacing, else 25
//
// The normal install then goes on (PrepareNormalInstall) with:
//
//   6 "Zevrino Update Started Mutex" tried once, else 21
//   7 the running application: closed on the user's word, else 26
//   8 its HTTPS listener closed
//   9 RunNormalInstallSteps (install/normal_install_flow.h)
//
// Every question is asked before the progress window starts; the refusals
// are exit codes only, never error dialogs (but 35).

#include <cstdint>
#include <string>

#include "base/mode_ports.h"
#include "base/options.h"
#include "base/result_code.h"
#include "install/normal_install_flow.h"

namespace zevrino::desktop::installer {

// What the first steps decided for the rest of the run.
struct InteractiveStart {
  ResultCode result = kSuccess;
  bool silent = false;
  std::wstring directory;  // the installation directory; empty when not chosen
};

struct InteractiveStartPorts {
  NamedMutexes& mutexes;
  Account& account;
  InstallationProbe& probe;
  Dialogs& dialogs;
};

// Steps 1 to 5. The interactive mutex stays taken; a web install releases it
// before it starts the full installer.
InteractiveStart StartInteractiveRun(const InteractiveStartPorts& ports, const Options& options,
                                     std::uint16_t payload_flags);

struct NormalInstallStartPorts {
  NamedMutexes& mutexes;
  RunningApplication& application;
  Dialogs& dialogs;
};

// Steps 6 to 8 for a run that `start` let go on; the progress window is
// shown unless the run is silent.
ResultCode PrepareNormalInstall(const NormalInstallStartPorts& ports,
                                const InteractiveStart& start);

struct NormalInstallFlowPorts {
  InteractiveStartPorts start;
  NormalInstallStartPorts prepare;
  NormalInstallPorts install;
};

// The whole normal install, steps 1 to 9; the result and the directory it
// chose.
InteractiveStart RunNormalInstallFlow(const NormalInstallFlowPorts& ports, const Options& options,
                                      std::uint16_t payload_flags);

}  // namespace zevrino::desktop::installer
