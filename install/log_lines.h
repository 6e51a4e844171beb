#pragma once
// Log line identities of install/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// The first steps of the web and normal installs (install_start_flow.cpp), in
// the order of the run.
inline constexpr int kLineRunningWebInstaller = 932;
inline constexpr int kLineRunningNormalInstaller = 935;
inline constexpr int kLineInteractiveInstallerRunning = 945;
inline constexpr int kLineAccountRefused = 953;
inline constexpr int kLineNoAppDataFolder = 222;
inline constexpr int kLineOverwriting = 969;
inline constexpr int kLineUpdateInProgress = 994;
inline constexpr int kLineApplicationRunning = 1001;

// The normal install (normal_install_flow.cpp).
inline constexpr int kLineSilentInstallFailed = 685;
inline constexpr int kLineSilentStartFailed = 696;
inline constexpr int kLineNormalInstallSucceeded = 712;
inline constexpr int kLineNormalInstallFailed = 714;

}  // namespace zevrino::desktop::installer
