#pragma once
// One HTTP(S) download into an open file through WinINet.

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <functional>
#include <string>

#include "base/result_code.h"
#include "ui/progress_channel_win.h"
#include "webinstall/download_loop.h"
#include "webinstall/download_resume.h"

namespace zevrino::desktop::installer {

constexpr char kDownloadUserAgent[] = "ZevrinoInstaller/1.0";

// Asks the user to sign in to the proxy that answered `request` with 407;
// returns ERROR_INTERNET_FORCE_RETRY when the request is to go again with
// what was entered (or what the system keeps), anything else to give up.
using ProxySignIn = std::function<DWORD(HINTERNET request)>;

// The system's own proxy sign-in dialog (InternetErrorDlg) for `request`,
// owned by `owner`; the credentials go onto the request. Wine 8 shows an
// "Enter Network Password" dialog and answers 0 for its Cancel.
DWORD ShowProxySignInDialog(HWND owner, HINTERNET request);

// Downloads `url` (UTF-8) into `file` (open for writing, at its start) and
// returns 0, 11 (write failed), 19 (cancelled), 50 (WinINet unusable, a
// read failed, or the body stalled for shared.stall_timeout_ms), 51 (status
// other than 200), 52 (no http or https address, the address could not be
// opened, no headers came in time, or a redirect was refused), 54 (not
// an executable, or not the announced length), 58 (the proxy asks for a
// sign-in: `proxy_sign_in` was empty, or the user declined), 59 (an HTML
// page came, or 511) or 60 (the server's certificate could not be
// verified); download_failure.h has the rules. A failed attempt logs what
// the network said: the status, WinINet's error and the proxy. Redirects are followed up to
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
                          const std::function<ResultCode(std::uint64_t)>& check_room = {},
                          const ProxySignIn& proxy_sign_in = {});

// Empties the open file `file` (its position and length back to 0); false
// when that fails.
bool EmptyFile(HANDLE file);

// The download's side of a run's progress channel as one DownloadShared: its
// progress and cancel, and its cancel lock, entered and left before every
// read, so the download pauses while the cancel question is on screen.
DownloadShared ChannelDownloadShared(ProgressChannel& channel);

// True when the server of `url` answers a HEAD request for it, whatever it
// answers (a redirect too), within the stall timeout of `shared` (the
// default one and no cancel when null): no body is asked for.
bool CanOpenAddress(const char* url, const DownloadShared* shared = nullptr);

}  // namespace zevrino::desktop::installer
