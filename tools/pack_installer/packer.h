#pragma once
// The pack operation as one call, for the command line tool, the tests and
// the benchmark.

#include <cstdint>
#include <string>

#include "tools/pack_installer/command_line.h"

namespace zevrino::desktop::packer {

// What a successful pack made, for its one line of output.
struct PackSummary {
  std::uint64_t items = 0;      // files of the folder, addresses, or 1 for --body
  std::uint64_t bytes_in = 0;   // the body before encoding
  std::uint64_t bytes_out = 0;  // the encoded body
  std::uint64_t installer_size = 0;
};

// "OUT: 3 files, 3002 bytes in, 1210 bytes out (40.3%), installer 5130 bytes"
std::string DescribePackSummary(const PackRequest& request, const PackSummary& summary);

// Reads the stub and the body source, encodes and frames the body and writes
// the installer. On failure *error is one line that names the file concerned
// ("FILE: reason") and no file exists under the output name that was not
// there before (an existing one is unchanged).
bool Pack(const PackRequest& request, std::string* error, PackSummary* summary = nullptr);

}  // namespace zevrino::desktop::packer
