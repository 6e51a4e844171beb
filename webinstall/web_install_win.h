#pragma once
// The web installer: download the full installer, run it, report its result.

#include "installer/result_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// `reader` stands at the payload body, the download description.
ResultCode RunWebInstall(const PayloadReader& reader);

}  // namespace zevrino::desktop::installer
