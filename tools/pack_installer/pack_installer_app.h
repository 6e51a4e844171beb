#pragma once
// The whole pack_installer program behind its entry point: parses the
// arguments (UTF-8, program name excluded), runs the command and returns the
// exit code. Normal output goes to `out`, errors as single lines prefixed
// "pack_installer: " to `err`. With `show_progress` (the entry points set it
// when standard error is a terminal) packing also shows its progress on
// `err` as one line rewritten in place and ended with a line feed; nothing of
// it reaches a redirected stream.

#include <ostream>
#include <string>
#include <vector>

namespace zevrino::desktop::packer {

enum ExitCode : int { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

int RunPackInstaller(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                     bool show_progress = false);

}  // namespace zevrino::desktop::packer
