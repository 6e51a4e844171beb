#pragma once
// The packer's progress display on a terminal: one line rewritten in place.

#include <cstdint>
#include <string>

namespace zevrino::desktop::packer {

// "\r" followed by the share done and the megabytes (10^6 bytes, one
// decimal) done and in total, e.g. "\rcompressing:  45% (135.2 of 300.0 MB)".
// The percentage is rounded down, so 100% means finished; `done` above
// `total` counts as `total`, and a total of 0 as finished.
std::string FormatProgressLine(std::uint64_t done, std::uint64_t total);

}  // namespace zevrino::desktop::packer
