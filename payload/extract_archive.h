#pragma once
// Laying an archive down in a directory: decode the payload body, check the
// archive version and hand every entry to a TransactedFileInstaller, which
// commits all files or none. Extract mode, the normal install and the update
// all go through ExtractArchive.

#include <string>

#include "installer/file_system.h"
#include "installer/result_code.h"
#include "installer/transacted_file_installer.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

// Decodes the payload body at the reader's position (the reader itself is not
// moved, so a retried step decodes the same body) and installs its archive
// into `target` through a new file system from CreateFileSystem. Returns 0
// when every entry was committed; otherwise 1 (version or digest unreadable),
// 4 (unknown archive version), 8 (malformed entry), a code of
// DecodePayloadBody (1, 3, 11, 30) or of the transactional installer. On any
// failure nothing of this archive stays in the target.
ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body);

// As above through the given file system.
ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body,
                          FileSystem& file_system);

// Installs the entries of an archive whose reader stands after the digest:
// Prepare, AddFile per entry (views into the archive, not copies), then
// ScheduleObsoleteFileRemoval and Commit. The installer's destructor rolls
// back whatever was not committed.
ResultCode InstallArchive(const std::wstring& target, PayloadReader archive,
                          FileSystem& file_system);

// The steps of InstallArchive on an installer made by the caller (who chooses
// its file system, process id and sleep); the caller destroys it afterwards,
// which rolls back whatever was not committed.
ResultCode InstallArchiveEntries(PayloadReader archive, TransactedFileInstaller& installer);

}  // namespace zevrino::desktop::installer
