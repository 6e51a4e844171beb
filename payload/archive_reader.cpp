#include "payload/archive_reader.h"

#include "base/result_code.h"
#include "payload/archive_name.h"

namespace zevrino::desktop::installer {

bool NextArchiveEntry(PayloadReader* archive, std::wstring* name, PayloadReader* content,
                      ErrorCode& error) {
  error = ErrorCode();
  if (archive->Remaining() == 0)
    return false;

  const ErrorCode malformed = ErrorCode::Installer(kArchiveEntryMalformed);
  std::uint32_t name_length = 0;
  char name_bytes[kMaxArchiveNameLength];
  std::uint32_t content_length = 0;
  if (!archive->ReadVarint(&name_length) || name_length < 1 ||
      name_length > kMaxArchiveNameLength || !archive->ReadBytes(name_bytes, name_length) ||
      !archive->ReadVarint(&content_length) || !archive->Take(content_length, content)) {
    error = malformed;
    return false;
  }
  if (!ArchiveNameToRelativePath(name_bytes, name_length, name)) {
    error = malformed;
    return false;
  }
  return true;
}

}  // namespace zevrino::desktop::installer
