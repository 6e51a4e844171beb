// The process id and the wait of a real run on Windows.

#include <windows.h>

#include <utility>

#include "files/transacted_file_installer.h"

namespace zevrino::desktop::installer {

TransactedFileInstaller::TransactedFileInstaller(FileSystem& file_system,
                                                 std::wstring installation_directory)
    : TransactedFileInstaller(file_system, std::move(installation_directory),
                              static_cast<std::uint32_t>(GetCurrentProcessId()),
                              [](std::uint32_t milliseconds) { Sleep(milliseconds); }) {}

}  // namespace zevrino::desktop::installer
