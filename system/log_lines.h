#pragma once
// The fixed identities of the log lines written by system/: the number each
// line prints as its source location. Log readers and support scripts key on
// them, so they never change, whatever happens to the files that log. No two
// lines of this folder share one (tests/structure/check_log_lines.py).

namespace zevrino::desktop::installer {

// The normal install (normal_install_flow.cpp).
inline constexpr int kLineSilentInstallFailed = 685;
inline constexpr int kLineSilentStartFailed = 696;
inline constexpr int kLineNormalInstallSucceeded = 712;
inline constexpr int kLineNormalInstallFailed = 714;

}  // namespace zevrino::desktop::installer
