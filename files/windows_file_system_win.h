#pragma once
// FileSystem on the Win32 file API. Stateless; obtain one from
// CreateFileSystem (file_system.h). Paths of any length up to the system's
// limit are taken: a long one reaches the API in its \\?\ form
// (ExtendedLengthPath), log lines and walk callbacks keep the form given.

#include "files/file_system.h"

namespace zevrino::desktop::installer {

class WindowsFileSystem final : public FileSystem {
 public:
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
};

}  // namespace zevrino::desktop::installer
