#pragma once
// Links at the names the installer writes, renames or deletes. A change made
// at such a name must never reach what a link there points to: the link is
// removed itself first, and where the system cannot remove it apart from its
// target (Wine opens the target whatever the flags say), the caller stops
// before it changes anything.

#include <string>

#include "base/result_code.h"
#include "files/file_system.h"

namespace zevrino::desktop::installer {

// 0 when nothing is at `path`, something that is no link, or a link that was
// removed itself; 13 when a link there could not be removed (logged) or the
// look at the name failed for another reason than its absence.
ResultCode RemoveLinkAt(FileSystem& file_system, const std::wstring& path);

// True when `path` itself or any existing directory on the way to it (below
// the root) is a link or junction, or could not be looked at.
bool CrossesLink(FileSystem& file_system, const std::wstring& path);

}  // namespace zevrino::desktop::installer
