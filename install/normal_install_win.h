#pragma once
// Installing the payload's files and recording the installation.

#include <string>
#include <vector>

#include "base/options.h"
#include "base/result_code.h"
#include "payload/extract_archive.h"
#include "payload/payload_reader.h"
#include "ui/progress_window_win.h"

namespace zevrino::desktop::installer {

// Installs the payload's archive into `directory` (all files or none) with
// `options` (payload/extract_archive.h) and, when `register_entry` is set,
// writes the uninstall entry.
ResultCode InstallAndRegister(const std::wstring& directory, const PayloadReader& reader,
                              bool register_entry, const ExtractOptions& options);

// What a normal install extracts with: the old files the commit moves aside
// are parked in `parked_files` until the run's time-critical steps are done,
// a link at a leftover update file's name goes with the commit, and the
// install stops when the user cancels in the progress window of `ui` until
// its commit (19).
ExtractOptions NormalInstallExtractOptions(std::vector<std::wstring>* parked_files, UiThread& ui);

}  // namespace zevrino::desktop::installer
