#pragma once
// Wide-path arithmetic shared by the file operations. No system calls, so it
// builds and is tested on any platform.

#include <string>
#include <vector>

namespace zevrino::desktop::installer {

inline bool IsWideSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// `directory` and `name` joined by one backslash; one trailing separator of
// `directory` is dropped first. An empty directory gives `name`.
std::wstring JoinWidePath(const std::wstring& directory, const std::wstring& name);

// Length of the root of `path`: "C:\" or "C:", "\\server\share\",
// "\\?\C:\", "\\?\UNC\server\share\", a single leading separator, or 0 for a
// relative path.
std::size_t WideRootLength(const std::wstring& path);

// From this many UTF-16 units on, a path must reach the file API of a
// Windows that has not been told to take long paths in its \\?\ form:
// MAX_PATH (260) with its NUL, less the 12 that CreateDirectoryW keeps for
// an 8.3 name.
constexpr std::size_t kLongPathFrom = 248;

// `path` as the file API is to be given it. Unchanged when shorter than
// kLongPathFrom, already a device path ("\\?\", "\\.\"), or not fully
// qualified (relative, or rooted without a drive). Otherwise "\\?\C:\..."
// for a drive and "\\?\UNC\server\share\..." for a share. That form is
// taken literally, so what Windows would otherwise do to the path is done
// here: "/" becomes "\", runs of separators count as one, "." elements go
// and ".." takes away the element before it (never the root). A trailing
// separator stays.
std::wstring ExtendedLengthPath(const std::wstring& path);

// The successively longer prefixes of `path` that end after each element
// following the root, e.g. "C:\a\b\" gives "C:\a", "C:\a\b". Runs of
// separators count as one. A path that is only a root gives the root itself.
std::vector<std::wstring> DirectoryPrefixes(const std::wstring& path);

// `path` as UTF-8, for log lines: UTF-16 with surrogate pairs where wchar_t
// has 16 bits, code points where it has 32; an unpaired surrogate or a value
// beyond U+10FFFF becomes U+FFFD.
std::string WidePathToUtf8(const std::wstring& path);

}  // namespace zevrino::desktop::installer
