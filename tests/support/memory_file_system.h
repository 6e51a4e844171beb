#pragma once
// A FileSystem held in memory, for tests of the installer's logic that must
// run natively under the sanitizers as well as under Wine. It models what the
// installer relies on: directories must exist before files are created in
// them, Rename replaces an existing file, Remove of a missing path is no
// error, and scheduling a deletion for the next reboot fails (as it does for
// a user without administrative rights). Paths are case-sensitive; "\" and
// "/" are equivalent and runs of separators count as one. The free space is
// unknown unless a volume size is set.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "files/file_system.h"

namespace zevrino::desktop::installer::testing {

// Files by normalised path (backslashes, no trailing separator) and content.
using FileTree = std::map<std::wstring, std::string>;

class MemoryFileSystem final : public FileSystem {
 public:
  // Creates the file and every missing ancestor directory.
  void PutFile(const std::wstring& path, const std::string& content);
  // A link or junction at `path` (whose parent must exist); it leads nowhere
  // this file system holds, and counts as an existing directory.
  void PutLink(const std::wstring& path);
  const std::set<std::wstring>& Links() const { return links_; }
  FileTree Files() const { return files_; }
  const std::set<std::wstring>& Directories() const { return directories_; }
  bool HasDirectory(const std::wstring& path) const;

  static std::wstring Normalise(const std::wstring& path);
  // The volume holds at most `bytes` of file content from now on.
  void SetCapacity(std::uint64_t bytes) { capacity_ = bytes; }
  std::uint64_t UsedBytes() const;

  bool CreateDirectories(const std::wstring& path, ErrorCode& error) override;
  bool WriteNewFile(const std::wstring& path, ByteRange content, ErrorCode& error) override;
  bool Remove(const std::wstring& path, ErrorCode& error) override;
  bool RemoveOrDelayUntilReboot(const std::wstring& path, ErrorCode& error) override;
  bool Rename(const std::wstring& source, const std::wstring& destination,
              ErrorCode& error) override;
  bool IsLink(const std::wstring& path, ErrorCode& error) override;
  bool RemoveLink(const std::wstring& path, ErrorCode& error) override;
  bool IsRegularFile(const std::wstring& path, ErrorCode& error) override;
  bool ForEachFile(const std::wstring& directory, const FileCallback& callback,
                   ErrorCode& error) override;
  bool ForEachFileRecursive(const std::wstring& directory, const FileCallback& callback,
                            ErrorCode& error) override;
  bool FreeSpaceOnVolume(const std::wstring& path, std::uint64_t& bytes, ErrorCode& error) override;

 private:
  bool ParentExists(const std::wstring& key) const;
  // The files directly in `directory`, or anywhere below it when `recursive`.
  bool Walk(const std::wstring& directory, bool recursive, const FileCallback& callback,
            ErrorCode& error);

  FileTree files_;
  std::set<std::wstring> directories_;
  std::set<std::wstring> links_;
  std::optional<std::uint64_t> capacity_;
};

}  // namespace zevrino::desktop::installer::testing
