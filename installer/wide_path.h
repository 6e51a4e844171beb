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

// The successively longer prefixes of `path` that end after each element
// following the root, e.g. "C:\a\b\" gives "C:\a", "C:\a\b". Runs of
// separators count as one. A path that is only a root gives the root itself.
std::vector<std::wstring> DirectoryPrefixes(const std::wstring& path);

// `path` as UTF-8, for log lines: UTF-16 with surrogate pairs where wchar_t
// has 16 bits, code points where it has 32; an unpaired surrogate or a value
// beyond U+10FFFF becomes U+FFFD.
std::string WidePathToUtf8(const std::wstring& path);

}  // namespace zevrino::desktop::installer
