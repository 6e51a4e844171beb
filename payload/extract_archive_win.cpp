#include "payload/extract_archive.h"

namespace zevrino::desktop::installer {

ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body) {
  // The file system must outlive the installer that ExtractArchive creates.
  const std::unique_ptr<FileSystem> file_system = CreateFileSystem();
  return ExtractArchive(target, payload_body, *file_system);
}

}  // namespace zevrino::desktop::installer
