// The process id and the wait of a run in the host build, where the
// installer's logic is tested under the sanitizers.

#include <unistd.h>

#include <chrono>
#include <thread>
#include <utility>

#include "files/transacted_file_installer.h"

namespace zevrino::desktop::installer {

TransactedFileInstaller::TransactedFileInstaller(FileSystem& file_system,
                                                 std::wstring installation_directory)
    : TransactedFileInstaller(
          file_system, std::move(installation_directory), static_cast<std::uint32_t>(getpid()),
          [](std::uint32_t milliseconds) {
            std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
          }) {}

}  // namespace zevrino::desktop::installer
