#pragma once
// Whether the volume of an installation can take the files about to be
// written, asked before anything is written: a volume that fills up in the
// middle of staging is rolled back all the same (every write that fails
// gives 12), but the user learns sooner, and nothing is touched, when the
// space was never there.
//
// Needed: the bytes of the archive (its decoded size, a few hundred bytes
// per file above the files themselves) plus a margin of 16 MiB and 1/64 of
// the archive, for what the volume spends beyond the files' bytes: each
// file's last cluster (4 KiB on NTFS, up to 128 KiB on a large exFAT stick),
// the file system's records of the new names and the log file; and so that
// the installation does not leave the volume full for everyone else. For
// the shipped 305 MB package that is about 326 MB.
//
// The files an update replaces need nothing of their own while old and new
// both exist: they keep the space they take (which is not free now, so none
// of it is counted as available), and the commit moves each one aside by a
// rename on the same volume, since the staged files are written in the
// installation directory itself. What the update will free once the old
// files are gone is therefore not credited either.

#include <cstdint>
#include <string>

#include "base/result_code.h"
#include "files/file_system.h"

namespace zevrino::desktop::installer {

inline constexpr std::uint64_t kFreeSpaceMarginBytes = 16 << 20;

// The free bytes an installation of an archive of `archive_bytes` needs.
std::uint64_t RequiredFreeSpace(std::uint64_t archive_bytes);

// 0 when the volume that holds `directory` (which need not exist yet) has
// RequiredFreeSpace(archive_bytes) free for this user, or when its free
// space cannot be learnt (the writes then find out); 12 when it has less,
// with a level-2 log line.
ResultCode CheckFreeSpace(FileSystem& file_system, const std::wstring& directory,
                          std::uint64_t archive_bytes);

}  // namespace zevrino::desktop::installer
