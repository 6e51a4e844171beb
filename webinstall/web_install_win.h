#pragma once
// The web installer: download the full installer, run it, report its result.

#include <string>

#include "base/mode_ports.h"
#include "base/options.h"
#include "base/result_code.h"
#include "payload/payload_reader.h"
#include "ui/fallback_address.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

// The web install in the order of web_install_flow.h; `reader` stands at the
// payload body, the download description. Each pass reads the address (the
// `url` of `options` when given), downloads the full installer into the
// installation `directory` as "ZuVerIzad<N>.exe" (the first free N of 0 to 9)
// with up to three attempts, releases the interactive mutex of `mutexes`
// (the full installer takes it itself), starts the file with " /webinstall" and the forwarded
// arguments, waits for it and deletes it. A failure is shown in the error
// dialog, whose Retry runs a new pass. Returns 0 when the full installer
// exited with 0, 55 when it exited otherwise, or the code of the failure: a
// payload decoding code, 4, 10, 11, 13, 19 (cancelled), 50 to 54 or 57
// (HTTPS failed where plain HTTP works).
// The progress window of `ui` shows the download and takes the user's
// cancel; `fallback` is set to the address each pass downloads.
ResultCode RunWebInstall(const PayloadReader& reader, const Options& options,
                         const std::wstring& directory, NamedMutexes& mutexes, UiThread& ui,
                         FallbackAddress& fallback);

}  // namespace zevrino::desktop::installer
