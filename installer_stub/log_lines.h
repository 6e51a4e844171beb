#pragma once
// Log line identities of installer_stub/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// The top-level flow (installer_main_win.cpp) and the first steps of the
// installs (install_start_flow.cpp), in the order of the run.
inline constexpr int kLineUnsupportedPlatform = 869;
inline constexpr int kLineStoreInstallPresent = 884;
inline constexpr int kLineInvalidMuSuffix = 122;
inline constexpr int kLineOwnFileNotMapped = 146;
inline constexpr int kLinePayloadUnreadable = 908;
inline constexpr int kLineRunningWebInstaller = 932;
inline constexpr int kLineRunningNormalInstaller = 935;
inline constexpr int kLineInteractiveInstallerRunning = 945;
inline constexpr int kLineAccountRefused = 953;
inline constexpr int kLineNoAppDataFolder = 222;
inline constexpr int kLineOverwriting = 969;
inline constexpr int kLineUpdateInProgress = 994;
inline constexpr int kLineApplicationRunning = 1001;
inline constexpr int kLineElevatedExtractThroughLink = 163;

// Update mode (update_flow.cpp).
inline constexpr int kLineNoInstallationToUpdate = 96;
inline constexpr int kLineUpdateTargetChanged = 131;

}  // namespace zevrino::desktop::installer
