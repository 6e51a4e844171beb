#pragma once
// Installing the payload's files and recording the installation.

#include <string>
#include <vector>

#include "installer/options.h"
#include "installer/result_code.h"
#include "payload/extract_archive.h"
#include "payload/payload_reader.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

// Installs the payload's archive into `directory` (all files or none) and,
// when `register_entry` is set, writes the uninstall entry.
ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry);

// As above with `options`: the old files the commit moved aside may be left
// for DeleteParkedFiles once the run's time-critical steps are done, and the
// install may be cancelled until its commit (payload/extract_archive.h).
ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry, const ExtractOptions& options);

// The normal install: install and register with retries on the user's word,
// start the application with the `forwarded` arguments (unless
// `skip_app_launch`), make its shortcuts, and only then delete the old files
// the install replaced. Until its commit the install stops when the user
// cancels in the progress window of `ui` (19), which shows its errors.
ResultCode RunNormalInstall(const char* directory, const PayloadReader& reader, bool silent,
                            bool skip_app_launch, const ForwardedArguments& forwarded,
                            UiThread& ui);

}  // namespace zevrino::desktop::installer
