#pragma once
// The whole pack_installer program behind its entry point: parses the
// arguments (UTF-8, program name excluded), runs the command and returns the
// exit code. Normal output goes to `out`, errors as single lines prefixed
// "pack_installer: " to `err`.

#include <ostream>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

enum ExitCode : int { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

int RunPackInstaller(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace zevrino::desktop::packer
