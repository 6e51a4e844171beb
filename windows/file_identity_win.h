#pragma once
// Which file or folder a path names, whatever the path's spelling: the
// volume's serial number and the file index, links followed. Two paths with
// the same identity name the same file.

#include <cstdint>
#include <string>

namespace zevrino::desktop::installer {

struct FileIdentity {
  std::uint32_t volume = 0;
  std::uint64_t index = 0;
  friend bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
  }
};

// False when `path` (a file or a folder) cannot be opened or asked.
bool IdentifyFile(const std::wstring& path, FileIdentity* identity);

}  // namespace zevrino::desktop::installer
