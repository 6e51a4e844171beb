#pragma once
// InstallerRun: everything one run of the installer holds, built by
// InstallerMain and handed to each mode's runner. Nothing of a run lives
// outside it, so a second run in the same process starts afresh.

#include <string>

#include "base/options.h"
#include "ui/fallback_address.h"
#include "ui/progress_channel_win.h"
#include "ui/progress_window_win.h"
#include "windows/named_mutex_win.h"

namespace zevrino::desktop::installer {

struct InstallerRun {
  InstallerRun(const Options& parsed, const wchar_t* payload_path)
      : options(parsed), payload_file(payload_path) {}

  // The parsed command line (its strings point into the caller's buffer),
  // which outlives the run.
  const Options& options;
  // The file that carries the payload; null: the program's own file.
  const wchar_t* const payload_file;
  // The installation directory, once the normal or web install has chosen
  // it.
  std::wstring install_directory;
  // The download's progress and the user's cancel, shared with the window.
  ProgressChannel progress;
  // The address that code 57's browser opens; the web install sets it.
  FallbackAddress fallback_address;
  // The named mutexes the run takes ("Zevrino Update Started Interactive
  // Mutex", "Zevrino Update Started Mutex"): the names stay taken while the
  // run lasts (a web install releases the first before it starts the full
  // installer).
  WindowsNamedMutexes mutexes;
  // Declared last: destroyed first, it ends the window before what the
  // window reads goes.
  UiThread ui{progress, fallback_address};
};

}  // namespace zevrino::desktop::installer
