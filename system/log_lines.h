#pragma once
// Log line identities of system/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// The normal install (normal_install_flow.cpp).
inline constexpr int kLineSilentInstallFailed = 685;
inline constexpr int kLineSilentStartFailed = 696;
inline constexpr int kLineNormalInstallSucceeded = 712;
inline constexpr int kLineNormalInstallFailed = 714;

}  // namespace zevrino::desktop::installer
