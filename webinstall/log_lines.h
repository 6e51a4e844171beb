#pragma once
// Log line identities of webinstall/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// One download (download_to_file_win.cpp, download_resume.cpp).
inline constexpr int kLineNoAnswerFromServer = 158;
inline constexpr int kLineNotAnHttpAddress = 230;
inline constexpr int kLineRedirectNotFollowed = 245;
inline constexpr int kLineDownloadStalled = 286;
inline constexpr int kLineDownloadResumed = 79;
inline constexpr int kLineDownloadTooLarge = 361;
inline constexpr int kLineDownloadNotRestarted = 367;
inline constexpr int kLineDownloadAttemptFailedBecause = 388;
inline constexpr int kLineProxySignInDeclined = 392;

// The web install (web_install_flow.cpp, web_install_win.cpp).
inline constexpr int kLineDownloadAttemptFailed = 195;
inline constexpr int kLineStartingUnsigned = 219;
inline constexpr int kLineNotSignedByPublisher = 226;
inline constexpr int kLineFullInstallerStartFailed = 255;
inline constexpr int kLineFullInstallerFailed = 268;
inline constexpr int kLineDownloadNotHeld = 307;
inline constexpr int kLineDownloadNotAnInstaller = 373;
inline constexpr int kLineLeftoverDownloadRemoved = 379;

}  // namespace zevrino::desktop::installer
