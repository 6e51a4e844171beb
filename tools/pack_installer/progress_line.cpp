#include "tools/pack_installer/progress_line.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace zevrino::desktop::packer {

namespace {

// Megabytes with one decimal, rounded down, in integer arithmetic so that a
// figure never rounds up past the total beside it.
std::string Megabytes(std::uint64_t bytes) {
  const std::uint64_t tenths = bytes / 100000;
  char text[32];
  std::snprintf(text, sizeof text, "%" PRIu64 ".%u", tenths / 10,
                static_cast<unsigned>(tenths % 10));
  return text;
}

}  // namespace

std::string FormatProgressLine(std::uint64_t done, std::uint64_t total) {
  done = std::min(done, total);
  // done * 100 cannot overflow for the 4 GiB bodies the format allows; the
  // division first keeps it exact enough for larger inputs too.
  const unsigned percent =
      total == 0 ? 100u
                 : static_cast<unsigned>(total > UINT64_MAX / 100 ? done / (total / 100)
                                                                  : done * 100 / total);
  char head[32];
  std::snprintf(head, sizeof head, "\rcompressing: %3u%% (", std::min(percent, 100u));
  return head + Megabytes(done) + " of " + Megabytes(total) + " MB)";
}

}  // namespace zevrino::desktop::packer
