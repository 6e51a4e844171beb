#pragma once
// The installer's top-level flow, called by wWinMain with the tokens of the
// command line.

#include "base/result_code.h"

namespace zevrino::desktop::installer {

// Runs one installer run and returns its result code, which becomes the
// process exit code. `tokens` point into the command-line buffer, which must
// live until the run has ended (the parsed options keep pointing into it).
// The payload is read from `payload_file`, by default (null) the program's
// own file. Everything the run holds ends with it.
ResultCode InstallerMain(char** tokens, int count, const wchar_t* payload_file = nullptr);

}  // namespace zevrino::desktop::installer
