#pragma once
// The installer's top-level flow, called by wWinMain with the tokens of the
// command line.

#include "installer/result_code.h"

namespace zevrino::desktop::installer {

// Runs one installer run and returns its result code, which becomes the
// process exit code. `tokens` point into the command-line buffer, which must
// live until the process ends (the parsed options keep pointing into it).
ResultCode InstallerMain(char** tokens, int count);

}  // namespace zevrino::desktop::installer
