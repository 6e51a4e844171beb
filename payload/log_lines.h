#pragma once
// The fixed identities of the log lines written by payload/: the number each
// line prints as its source location. Log readers and support scripts key on
// them, so they never change, whatever happens to the files that log. No two
// lines of this folder share one (tests/structure/check_log_lines.py).

namespace zevrino::desktop::installer {

// A guarded read of the installer's own file faulted (mapped_read_guard_win.cpp).
inline constexpr int kLineInstallerFileGone = 90;

}  // namespace zevrino::desktop::installer
