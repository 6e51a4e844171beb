#pragma once
// The web installer: download the full installer, run it, report its result.

#include <cstdint>

#include "installer/result_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// How long the retry countdowns last: `countdown_base_seconds` × 2^attempt
// seconds (10 and 20 with the defaults), counted in ticks of
// `tick_milliseconds`.
struct WebInstallTiming {
  std::uint32_t countdown_base_seconds = 5;
  std::uint32_t tick_milliseconds = 1000;
};

// One pass of the web install; `reader` stands at the payload body, the
// download description. Reads the address (from `url` when given on the
// command line), downloads the full installer into the installation
// directory as "ZuVerIzad<N>.exe" (the first free N of 0 to 9) with up to
// three attempts, starts it with " /webinstall" and the forwarded arguments,
// waits for it and deletes the file. Returns 0 when it exited with 0, 55
// when it exited otherwise, or the code of the failure: a payload decoding
// code, 4, 10, 11, 13, 19 (cancelled), 50 to 54 or 57 (HTTPS failed where
// plain HTTP works).
ResultCode RunWebInstall(const PayloadReader& reader, const WebInstallTiming& timing = {});

}  // namespace zevrino::desktop::installer
