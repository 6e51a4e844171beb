#pragma once
// Laying an archive down in a directory: decode the payload body, check the
// archive version and hand every entry to a TransactedFileInstaller, which
// commits all files or none. Extract mode, the normal install and the update
// all go through ExtractArchive.

#include <cstdint>
#include <string>
#include <vector>

#include "base/cancel_points.h"
#include "base/result_code.h"
#include "files/file_system.h"
#include "files/transacted_file_installer.h"
#include "payload/payload_reader.h"

namespace zevrino::desktop::installer {

struct ExtractOptions {
  // When set, the old files that the commit moves aside are not deleted
  // before ExtractArchive returns: their paths are appended here (only on
  // success) for DeleteParkedFiles once the time-critical part of the run is
  // over. The installation is committed all the same. When null, they are
  // deleted as part of the commit.
  std::vector<std::wstring>* parked_files = nullptr;
  // The user's cancel, looked at between entries, between slices of the
  // decoding and once more before the commit; a cancel seen there ends the
  // extract with 19, rolled back. None by default.
  CancelPoints cancel;
  // When set, receives on success the bytes of the files installed: the
  // sum of the archive's file sizes.
  std::uint64_t* installed_bytes = nullptr;
  // Names (relative to the target, backslashes) that the caller deletes
  // after a successful extract: the commit clears them of links as it does
  // its own names.
  std::vector<std::wstring> guarded_names;
};

// Decodes the payload body at the reader's position (the reader itself is not
// moved, so a retried step decodes the same body) and installs its archive
// into `target` through a new file system from CreateFileSystem. Returns 0
// when every entry was committed; otherwise 12 when the target's volume
// lacks the space for the archive (CheckFreeSpace, before anything is
// written), 1 (version or digest unreadable),
// 4 (unknown archive version), 8 (malformed entry), a code of
// DecodePayloadBody (1, 3, 11, 30), of the transactional installer, or 19
// when the user cancelled before the commit (whatever else failed by then).
// On any failure nothing of this archive stays in the target.
//
// Entries are written while the rest of the body is still being decoded (on
// a second thread); nothing is committed before all of it has decoded, and a
// decoding failure is the result even when staging failed too.
ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body,
                          const ExtractOptions& options = {});

// As above through the given file system.
ResultCode ExtractArchive(const std::wstring& target, const PayloadReader& payload_body,
                          FileSystem& file_system, const ExtractOptions& options = {});

// Deletes the files ExtractArchive listed in ExtractOptions::parked_files,
// through a new file system, with the retries of DeleteParkedFiles
// (files/parked_files.h). Windows build only.
void DeleteParkedFiles(const std::vector<std::wstring>& paths);

// Installs the entries of an archive whose reader stands after the digest
// into an installer made by the caller (who chooses its file system, process
// id and sleep): Prepare, AddFile per entry (views into the archive, not
// copies), then ScheduleObsoleteFileRemoval and Commit. The caller destroys
// the installer afterwards, which rolls back whatever was not committed.
ResultCode InstallArchiveEntries(PayloadReader archive, TransactedFileInstaller& installer);

}  // namespace zevrino::desktop::installer
