#pragma once
// Installing the payload's files and recording the installation.

#include <string>
#include <vector>

#include "installer/result_code.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// Installs the payload's archive into `directory` (all files or none) and,
// when `register_entry` is set, writes the uninstall entry.
ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry);

// As above, but when `parked_files` is not null the old files the commit
// moved aside are not deleted: their paths are appended to it (only on
// success) for DeleteParkedFiles
// (payload/extract_archive.h) once the run's time-critical steps are done.
ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry, std::vector<std::wstring>* parked_files);

// The normal install: install and register with retries on the user's word,
// start the application (unless `skip_app_launch`), make its shortcuts, and
// only then delete the old files the install replaced.
ResultCode RunNormalInstall(const char* directory, const PayloadReader& reader, bool silent,
                            bool skip_app_launch);

}  // namespace zevrino::desktop::installer
