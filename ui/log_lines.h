#pragma once
// Log line identities of ui/ (ARCHITECTURE.md, "Layers").

namespace zevrino::desktop::installer {

// Closing the running application (running_application_win.cpp).
inline constexpr int kLineForeignWindowLeftAlone = 23;

}  // namespace zevrino::desktop::installer
