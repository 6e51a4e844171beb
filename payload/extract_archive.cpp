#include "payload/extract_archive.h"

#include <cstdint>
#include <vector>

#include "payload/archive_reader.h"
#include "payload/payload_decoder.h"

namespace zevrino::desktop::installer {

ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body,
                          FileSystem& file_system) {
  // The decoded archive lives for this call only; entries are views into it.
  std::vector<std::uint8_t> archive_bytes;
  ErrorCode error;
  if (!DecodePayloadBody(payload_body, &archive_bytes, &error)) {
    return static_cast<ResultCode>(error.value());
  }

  PayloadReader archive(archive_bytes.data(), archive_bytes.data() + archive_bytes.size());
  std::uint32_t version = 0;
  std::uint8_t digest[kArchiveDigestSize];
  if (!archive.ReadVarint(&version) || !archive.ReadBytes(digest, sizeof digest)) {
    return kPayloadHeaderUnreadable;
  }
  if (version != kArchiveVersion)
    return kPayloadNotFound;
  return InstallArchive(target, archive, file_system);
}

ResultCode InstallArchive(const std::wstring& target, PayloadReader archive,
                          FileSystem& file_system) {
  TransactedFileInstaller installer(file_system, target);
  return InstallArchiveEntries(archive, installer);
}

ResultCode InstallArchiveEntries(PayloadReader archive, TransactedFileInstaller& installer) {
  ResultCode result = installer.Prepare();
  if (result != kSuccess)
    return result;

  for (;;) {
    std::wstring name;
    PayloadReader content;
    ErrorCode error;
    if (!NextArchiveEntry(&archive, &name, &content, &error)) {
      if (error)
        return static_cast<ResultCode>(error.value());
      break;
    }
    result = installer.AddFile(name, ByteRange{content.position(), content.Remaining()});
    if (result != kSuccess)
      return result;
  }

  result = installer.ScheduleObsoleteFileRemoval();
  if (result != kSuccess)
    return result;
  return installer.Commit();
}

}  // namespace zevrino::desktop::installer
