#pragma once
// Log line identities of installer_stub/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// The top-level flow (installer_main_win.cpp), in the order of the run; the
// account's refusal in update mode logs install/'s line of the same words.
inline constexpr int kLineUnsupportedPlatform = 869;
inline constexpr int kLineStoreInstallPresent = 884;
inline constexpr int kLineInvalidMuSuffix = 122;
inline constexpr int kLineOwnFileNotMapped = 146;
inline constexpr int kLinePayloadUnreadable = 908;
inline constexpr int kLineElevatedExtractThroughLink = 163;

}  // namespace zevrino::desktop::installer
