#pragma once
// One HTTP(S) download into an open file through WinINet.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "installer/result_code.h"
#include "webinstall/download_loop.h"
#include "webinstall/download_resume.h"

namespace zevrino::desktop::installer {

constexpr char kDownloadUserAgent[] = "ZevrinoInstaller/1.0";

// Downloads `url` (UTF-8) into `file` (open for writing, at its start) and
// returns 0, 11 (write failed), 19 (cancelled), 50 (WinINet unusable, a
// read failed, or the body stalled for shared.stall_timeout_ms), 51 (status
// other than 200), 52 (no http or https address, the address could not be
// opened, no headers came in time, or a redirect was refused) or 54 (not
// an executable, or not the announced length). Redirects are followed up to
// kMaxRedirects times, never from https down to http (download_address.h).
// A body that stops short is asked for again from where it stopped, through
// the same `file` (download_resume.h); with a `pass`, the file holds
// pass->written bytes from its earlier attempts, which are kept. A cancel
// ends every wait within a tenth of a second. `check_room`, when given, is
// asked before the first byte of a body that starts the file (12: too
// little space). Sets the downloading flag first; see download_loop.h for
// the transfer itself.
ResultCode DownloadToFile(const char* url, HANDLE file, const DownloadShared& shared,
                          DownloadPass* pass = nullptr,
                          const std::function<ResultCode(std::uint64_t)>& check_room = {});

// Empties the open file `file` (its position and length back to 0); false
// when that fails.
bool EmptyFile(HANDLE file);

// The process-wide DownloadProgress, CancelRequested and CancelLock as one
// DownloadShared.
DownloadShared ProcessDownloadShared();

// The same with the process-wide DownloadProgress, CancelRequested and
// CancelLock (entered and left before every read, so the download pauses
// while the cancel question is on screen).
ResultCode DownloadToFile(const char* url, HANDLE file);

// True when `url` can be opened the way DownloadToFile opens it, whatever
// the server answers (a redirect too), within the stall timeout of
// `shared` (the default one and no cancel when null).
bool CanOpenAddress(const char* url, const DownloadShared* shared = nullptr);

}  // namespace zevrino::desktop::installer
