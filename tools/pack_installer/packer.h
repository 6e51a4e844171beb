#pragma once
// The pack operation as one call, for the command line tool, the tests and
// the benchmark.

#include <string>

#include "tools/pack_installer/command_line.h"

namespace zevrino::desktop::packer {

// Reads the stub and the body source, encodes and frames the body and writes
// the installer. On failure *error is one line that names the file concerned
// ("FILE: reason") and no file exists under the output name that was not
// there before (an existing one is unchanged).
bool Pack(const PackRequest& request, std::string* error);

}  // namespace zevrino::desktop::packer
