#pragma once
// The platform-free decisions of update mode: which directory an update
// replaces, and how long it waits for the application's executable to be
// released.

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zevrino::desktop::installer {

// Directories an update never writes into, however it was asked: the root of
// the system drive and the folder that holds every user's profile. An
// argument that lands there was built from a broken path, so the update goes
// to the default installation instead.
inline constexpr const char* kForbiddenUpdateRoots[] = {"C:", "C:\\", "C:\\Users", "C:\\Users\\"};

// Compares two UTF-8 paths the way the file system does (ignoring case).
using PathsEqualFunction = std::function<bool(const char* a, const char* b)>;

// True for a path that names its drive or share: "C:\...", "C:/..." or
// "\\server\share...". Anything else would be read relative to a current
// directory or drive.
bool IsFullyQualifiedPath(const std::string& path);

// `path` without the "\\?\" (or "\\?\UNC\") form that Windows gives final
// paths: "\\?\C:\x" is "C:\x", "\\?\UNC\server\share\x" is
// "\\server\share\x". Other paths are returned unchanged.
std::string WithoutExtendedPrefix(const std::string& path);

// True when a resolved directory (full, no "." or "..", links followed) is
// no place to update: one of kForbiddenUpdateRoots, a bare separator, any
// drive's root ("D:", "D:\"), a share's root ("\\server\share"), or one of
// `protected_folders` (the user's profile, the folder of all profiles).
// Trailing separators do not matter.
bool IsForbiddenUpdateTarget(const std::string& resolved,
                             const std::vector<std::string>& protected_folders,
                             const PathsEqualFunction& paths_equal);

// The installation that `argument` (a file inside it, usually its
// Zevrino.exe) names: the argument without its last path element. The
// default directory is taken instead when that is a forbidden root (also
// when written with '/'), and when the argument has no parent at all (empty,
// or a bare file name, which would otherwise be read relative to whatever
// the current directory happens to be).
std::string UpdateTargetDirectory(const char* argument, const char* default_directory,
                                  const PathsEqualFunction& paths_equal);

// The wait between attempts to open the executable exclusively: the first
// `short_waits` failures wait `short_wait_ms`, the following ones
// `long_wait_ms`, and the failure after `max_failures` gives up. The
// defaults make 21 attempts over 11.9 s.
struct ExclusiveAccessSchedule {
  unsigned max_failures = 20;
  unsigned short_waits = 9;
  unsigned short_wait_ms = 100;
  unsigned long_wait_ms = 1000;
};

// The wait after failure number `failures` (1 for the first), or nothing
// when the caller gives up.
std::optional<unsigned> WaitAfterFailure(unsigned failures,
                                         const ExclusiveAccessSchedule& schedule);

}  // namespace zevrino::desktop::installer
