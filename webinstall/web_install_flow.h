#pragma once
// The order of a web install and its retry rules over the ports it needs
// (base/mode_ports.h and DownloadPasses), so that both are tested
// without Windows or a network, in milliseconds. RunWebInstall
// (web_install_win.h) binds the real ones.
//
//   1 prepare a pass: the address, the directory and a new,   Prepare
//     empty download file
//   2 download, three attempts at most: after 51 (a status    Download,
//     other than 200) or 52 (no connection) a countdown of    Clock
//     10, then 20 s in the progress window; a cancel during
//     it gives 19. What the network asks of the user (58, 59,
//     60: a sign-in, an unverified certificate) is shown at
//     once: waiting would not change it
//   3 check the downloaded file, run the full installer       RunDownload
//   4 the download file goes, whatever the pass came to       EndPass
//   5 0 and 55 (the full installer failed and said so) end the run; any other
//     code is shown (Dialogs): Retry -> 1, a whole new pass; else the code is
//     returned

#include <cstdint>
#include "base/mode_ports.h"
#include "base/result_code.h"
#include "webinstall/download_loop.h"

namespace zevrino::desktop::installer {

// The most download attempts of one pass.
constexpr std::uint32_t kDownloadAttempts = 3;

// One pass of a web install at a time.
class DownloadPasses {
 public:
  // 0, or the code that ends the pass.
  virtual ResultCode Prepare() = 0;
  // One download attempt into the emptied file.
  virtual ResultCode Download() = 0;
  // Checks the downloaded file, starts the full installer from it and
  // waits: 0, 53, 54, 55 or 61 (refused by its signature or version).
  virtual ResultCode RunDownload() = 0;
  // Deletes the download file, when Prepare made one.
  virtual void EndPass() = 0;

 protected:
  ~DownloadPasses() = default;
};

struct WebInstallPorts {
  DownloadPasses& passes;
  Clock& clock;
  Dialogs& dialogs;
};

// Runs the web install; the countdowns are shown through, and a cancel read
// from, `shared`. Returns 0, 55 or the code of the failure.
ResultCode RunWebInstallSteps(const WebInstallPorts& ports, const DownloadShared& shared);

}  // namespace zevrino::desktop::installer
