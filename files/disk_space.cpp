#include "files/disk_space.h"

#include "files/log_lines.h"
#include "logging/log.h"

namespace zevrino::desktop::installer {

std::uint64_t RequiredFreeSpace(std::uint64_t archive_bytes) {
  const std::uint64_t margin = kFreeSpaceMarginBytes + archive_bytes / 64;
  return archive_bytes > UINT64_MAX - margin ? UINT64_MAX : archive_bytes + margin;
}

ResultCode CheckFreeSpace(FileSystem& file_system, const std::wstring& directory,
                          std::uint64_t archive_bytes) {
  std::uint64_t free_bytes = 0;
  ErrorCode error;
  if (!file_system.FreeSpaceOnVolume(directory, free_bytes, error)) {
    logging::log_message(logging::kLevelWarning, "", kLineFreeSpaceUnknown,
                         "Zevrino Installer - The free disk space is unknown (code: %d); "
                         "installing without the check.",
                         error.value());
    return kSuccess;
  }
  const std::uint64_t needed = RequiredFreeSpace(archive_bytes);
  if (free_bytes >= needed) {
    return kSuccess;
  }
  logging::log_message(logging::kLevelError, "", kLineNotEnoughFreeSpace,
                       "Zevrino Installer - Not enough free disk space: %llu bytes free, %llu "
                       "needed.",
                       static_cast<unsigned long long>(free_bytes),
                       static_cast<unsigned long long>(needed));
  return kWriteFailed;
}

}  // namespace zevrino::desktop::installer
