#pragma once
// Which of the four modes a run takes, from its options and its payload.

#include <cstdint>

#include "base/options.h"

namespace zevrino::desktop::installer {

enum class Mode { kExtract, kUpdate, kWebInstall, kNormalInstall };

// `extract` wins over `update`, and either over the payload: a payload
// flagged kWebInstaller (payload_container.h) makes a web install, any other
// a normal install. The `webinstall` option plays no part.
Mode ChooseMode(const Options& options, std::uint16_t payload_flags);

}  // namespace zevrino::desktop::installer
