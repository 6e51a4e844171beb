#pragma once
// Log line identities of payload/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// A guarded read of the installer's own file faulted (mapped_read_guard_win.cpp).
inline constexpr int kLineInstallerFileGone = 90;

}  // namespace zevrino::desktop::installer
