#pragma once
// Deleting the old files that a commit parked under temporary names when it
// was told to defer their deletion (TransactedFileInstaller::
// DeferBackupDeletion), once the part of the run that someone waits for is
// over. They are no part of the installation any more: whatever this does or
// fails to do, the installation stays as committed.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files/file_system.h"

namespace zevrino::desktop::installer {

// Removes each file; those that cannot be removed are tried again after
// waits of 200, 400, 800, 1600 and 3200 ms, and on the last round their
// deletion is scheduled for the next reboot (logged by the file system when
// that fails). Whatever still exists then is removed by the next run's
// Prepare, which deletes every temporary file in the installation directory.
void DeleteParkedFiles(FileSystem& file_system, const std::vector<std::wstring>& paths,
                       const std::function<void(std::uint32_t milliseconds)>& sleep);

}  // namespace zevrino::desktop::installer
