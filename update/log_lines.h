#pragma once
// Log line identities of update/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// The update's order of steps (update_flow.cpp).
inline constexpr int kLineNoInstallationToUpdate = 96;
inline constexpr int kLineUpdateTargetChanged = 131;

}  // namespace zevrino::desktop::installer
