#pragma once
// The machine the installer really runs on, for the "[ARCH]" placeholder of
// the full installer's address.

#include <string>

namespace zevrino::desktop::installer {

// "X64", "ARM64", or empty for any other machine and when IsWow64Process2
// (looked up at run time: it is missing before Windows 10 1709) fails.
std::string NativeArchitectureName();

// The address with its first "[ARCH]" replaced by NativeArchitectureName().
std::string ReplaceArchPlaceholder(const std::string& address);

}  // namespace zevrino::desktop::installer
