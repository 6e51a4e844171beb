#pragma once
// The order of a web install and its retry rules, with every step it takes
// and its clock passed in, so that both are tested without Windows or a
// network, in milliseconds. RunWebInstall (web_install_win.h) binds the real
// steps.
//
//   1 prepare a pass: the address, the directory and a new,   prepare
//     empty download file
//   2 download, three attempts at most: after 51 (a status    download,
//     other than 200) or 52 (no connection) a countdown of    sleep_one_second
//     10, then 20 s in the progress window; a cancel during
//     it gives 19. What the network asks of the user (58, 59,
//     60: a sign-in, an unverified certificate) is shown at
//     once: waiting would not change it
//   3 check the downloaded file, run the full installer       run_download
//   4 the download file goes, whatever the pass came to       end_pass
//   5 0 and 55 (the full installer failed and said so) end the run; any other
//     code is shown (show_error): Retry -> 1, a whole new pass; else the code
//     is returned

#include <cstdint>
#include <functional>

#include "installer/result_code.h"
#include "webinstall/download_loop.h"

namespace zevrino::desktop::installer {

// The most download attempts of one pass.
constexpr std::uint32_t kDownloadAttempts = 3;

struct WebInstallSteps {
  // 0, or the code that ends the pass.
  std::function<ResultCode()> prepare;
  // One download attempt into the emptied file.
  std::function<ResultCode()> download;
  // Waits one second of a countdown.
  std::function<void()> sleep_one_second;
  // Checks the downloaded file, starts the full installer from it and
  // waits: 0, 53, 54, 55 or 61 (refused by its signature or version).
  std::function<ResultCode()> run_download;
  // Deletes the download file, when prepare made one.
  std::function<void()> end_pass;
  // True when the user chose Retry.
  std::function<bool(ResultCode)> show_error;
};

// Runs the web install with `steps`; the countdowns are shown through, and a
// cancel read from, `shared`. Returns 0, 55 or the code of the failure.
ResultCode RunWebInstallSteps(const WebInstallSteps& steps, const DownloadShared& shared);

}  // namespace zevrino::desktop::installer
