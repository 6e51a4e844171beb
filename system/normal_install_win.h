#pragma once
// Installing the payload's files and recording the installation.

#include <string>

#include "installer/result_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// Installs the payload's archive into `directory` (all files or none) and,
// when `register_entry` is set, writes the uninstall entry.
ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry);

// The normal install: install and register with retries on the user's word,
// start the application (unless `skip_app_launch`), make its shortcuts.
ResultCode RunNormalInstall(const char* directory, const PayloadReader& reader, bool silent,
                            bool skip_app_launch);

}  // namespace zevrino::desktop::installer
