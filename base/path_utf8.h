#pragma once
// Helpers on UTF-8 path strings, for code that keeps its paths as UTF-8
// (install location, registration, update mode, shortcuts, web install).
// Paths are joined with a single backslash.
//
// The functions that touch the disk convert their path to UTF-16, at most
// kMaxWidePath units with the terminating NUL, and hand a long one to the
// system in its \\?\ form (ExtendedLengthPath, wide_path.h). A path that is
// not valid UTF-8, or that needs more units, fails without touching the
// disk. They are defined in the Windows build only.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

// The longest path the system takes (in its \\?\ form), in UTF-16 units
// with the terminating NUL; once the limit was MAX_PATH, 260.
constexpr std::size_t kMaxWidePath = 32767;

// `base` and `name` joined by one backslash, after dropping one trailing '/' or
// '\' from `base`. An empty base gives `name`; an empty name gives `base`
// unchanged.
std::string JoinPath(std::string_view base, std::string_view name);

// Cuts the last path element off `path` in place. With the last '/' or '\' at
// index 3 or later the string ends before that separator; at index 0 to 2 it
// ends just after it, so "C:\file" becomes the root "C:\". Returns the new
// length, or 0 (buffer untouched) when the path holds no separator.
std::size_t strip_last_path_component(char* path);

// The directories that create_parent_directories creates, in order: for every
// separator of `relative_path`, the text before it joined to `base` with
// JoinPath, except a bare drive designator such as "C:". Platform-free so
// that the rule is testable anywhere.
std::vector<std::string> parent_directory_prefixes(const char* base, const char* relative_path);

// CreateDirectoryW with default security. True on success (an existing
// directory is a failure, ERROR_ALREADY_EXISTS).
bool create_directory_utf8(const char* path);

// Creates every directory of parent_directory_prefixes(base, relative_path),
// ignoring failures (the directories usually exist). Always true.
bool create_parent_directories(const char* base, const char* relative_path);

// DeleteFileW. True on success.
bool delete_file_utf8(const char* path);

// DeleteFileW; when that fails, schedules the deletion for the next reboot.
// True when either succeeded.
bool delete_file_or_delay(const char* path);

// True when the path names anything (file or directory).
bool file_exists_utf8(const char* path);

// Creates or truncates `path` and writes `length` bytes of `buffer` in one
// write (length below 4 GiB). Returns kSuccess, kPathConversionFailed,
// kCreateFailed or kFileInUse when the file could not be created, or
// kWriteFailed (the partial file is deleted).
ResultCode write_buffer_to_file(const char* path, const void* buffer, std::uint64_t length);

}  // namespace zevrino::desktop::installer
