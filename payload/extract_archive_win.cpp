#include "payload/extract_archive.h"

#include <windows.h>

#include "files/parked_files.h"

namespace zevrino::desktop::installer {

ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body,
                          const ExtractOptions& options) {
  // The file system must outlive the installer that ExtractArchive creates.
  const std::unique_ptr<FileSystem> file_system = CreateFileSystem();
  return ExtractArchive(target, payload_body, *file_system, options);
}

void DeleteParkedFiles(const std::vector<std::wstring>& paths) {
  if (paths.empty()) {
    return;
  }
  const std::unique_ptr<FileSystem> file_system = CreateFileSystem();
  DeleteParkedFiles(*file_system, paths, [](std::uint32_t milliseconds) { Sleep(milliseconds); });
}

}  // namespace zevrino::desktop::installer
