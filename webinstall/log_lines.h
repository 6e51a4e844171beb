#pragma once
// The fixed identities of the log lines written by webinstall/: the number
// each line prints as its source location. Log readers and support scripts
// key on them, so they never change, whatever happens to the files that log.
// No two lines of this folder share one (tests/structure/check_log_lines.py).

namespace zevrino::desktop::installer {

// One download (download_to_file_win.cpp, download_resume.cpp).
inline constexpr int kLineNoAnswerFromServer = 158;
inline constexpr int kLineNotAnHttpAddress = 230;
inline constexpr int kLineRedirectNotFollowed = 245;
inline constexpr int kLineDownloadStalled = 286;
inline constexpr int kLineDownloadResumed = 79;

// The web install (web_install_flow.cpp, web_install_win.cpp).
inline constexpr int kLineDownloadAttemptFailed = 195;
inline constexpr int kLineStartingUnsigned = 219;
inline constexpr int kLineNotSignedByPublisher = 226;
inline constexpr int kLineFullInstallerStartFailed = 255;
inline constexpr int kLineFullInstallerFailed = 268;
inline constexpr int kLineDownloadNotHeld = 307;

}  // namespace zevrino::desktop::installer
