#pragma once
// FileSystem: every change the transactional installer makes on disk goes
// through this interface, so that tests can substitute a fake that fails the
// Nth operation. The one real implementation is WindowsFileSystem
// (windows_file_system_win.h), obtained from CreateFileSystem.
//
// Paths are wide strings (UTF-16 on Windows). Every operation fills `error`
// (a Win32 error in the system category, or a result code in the installer
// category) and never throws. Failures and fallbacks are logged where noted.
// Operations are called from one thread at a time and keep no state.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/error_code.h"

namespace zevrino::desktop::installer {

// A view of bytes to be written; the bytes are not owned and must stay valid
// for the duration of the call that receives the range.
struct ByteRange {
  const std::uint8_t* data = nullptr;
  std::uint64_t size = 0;
};

// Receives the full path of one regular file found by a directory walk. For
// ForEachFile it is the walked directory joined with the file name; for
// ForEachFileRecursive the full path below the root.
using FileCallback = std::function<void(const std::wstring& path)>;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Creates `path` and every missing ancestor, from the root downwards. A
  // directory that already exists is no error; an element that exists as a
  // file fails with 183 (ERROR_ALREADY_EXISTS); an empty path fails with 3.
  // Returns true only when the last element was created by this call; success
  // is judged by `error` (system category, 0 when the full path exists as a
  // directory afterwards).
  virtual bool CreateDirectories(const std::wstring& path, ErrorCode& error) = 0;

  // Creates `path`, which must not exist yet, and writes all of `content` in
  // one write. A name that is taken (a file, a directory or a link, which
  // is never written through) is left as it is. error: 0; installer 13 when
  // the file cannot be created or the name is taken (also by a file someone
  // holds open), 12 when the write fails or is short (the partial file is
  // then deleted). Content of 4 GiB or more is rejected with 12.
  virtual bool WriteNewFile(const std::wstring& path, ByteRange content, ErrorCode& error) = 0;

  // Removes a file (read-only included) or an empty directory. A missing path
  // is no error and returns false with error 0. Logs nothing.
  // Returns true when something was removed; error is the system error.
  virtual bool Remove(const std::wstring& path, ErrorCode& error) = 0;

  // Remove; when that removed nothing (missing or failed), logs it and
  // schedules deletion at the next reboot. Returns true when removed or
  // scheduled; error is installer 0, or installer 14 when scheduling failed
  // (the common case without administrative rights).
  virtual bool RemoveOrDelayUntilReboot(const std::wstring& path, ErrorCode& error) = 0;

  // Moves `source` to `destination`, replacing an existing destination. When
  // the move fails, falls back to copy (never over an existing file) and
  // remove of the source. error is that of the last step tried (system
  // category); returns true exactly when it is 0. When the copy succeeded but
  // the source could not be removed, both files exist and false is returned.
  virtual bool Rename(const std::wstring& source, const std::wstring& destination,
                      ErrorCode& error) = 0;

  // True when `path` itself is a symbolic link or a junction, also one whose
  // attributes do not show it (Wine shows a Unix link to a file as a plain
  // file). A missing path gives false with its not-found error (2 or 3);
  // anything else that is no link gives false with error 0.
  virtual bool IsLink(const std::wstring& path, ErrorCode& error) = 0;

  // Removes the link or junction `path` itself, never what it points to.
  // Fails with nothing touched (system error 4390, not a reparse point) where
  // the system cannot address the link apart from its target, as under Wine.
  // Returns true when the link is gone; error is the system error.
  virtual bool RemoveLink(const std::wstring& path, ErrorCode& error) = 0;

  // True when `path` (links followed) names a regular file. A missing path
  // gives false with its not-found error (2 or 3); a directory gives false
  // with error 0.
  virtual bool IsRegularFile(const std::wstring& path, ErrorCode& error) = 0;

  // Calls `callback` for every regular file directly inside `directory`
  // (links followed to decide the type; "." and ".." never reported). Returns
  // true when error is 0. A directory that cannot be opened gives its system
  // error. An error met while advancing a walk that was opened is reported in
  // `error` as well (the files seen before it have been delivered). Any
  // failure is logged once.
  virtual bool ForEachFile(const std::wstring& directory, const FileCallback& callback,
                           ErrorCode& error) = 0;

  // As ForEachFile for every regular file anywhere below `directory`. Real
  // sub-directories are descended into; directory links and junctions are not.
  virtual bool ForEachFileRecursive(const std::wstring& directory, const FileCallback& callback,
                                    ErrorCode& error) = 0;

  // The bytes this user may still write on the volume that holds `path`
  // (quotas included). `path` need not exist: the nearest directory above
  // it that does is asked. False with the system error when no answer was
  // had.
  virtual bool FreeSpaceOnVolume(const std::wstring& path, std::uint64_t& bytes,
                                 ErrorCode& error) = 0;
};

// A new WindowsFileSystem, owned by the caller. Keep it alive as long as any
// TransactedFileInstaller that uses it. Defined in the Windows build only.
std::unique_ptr<FileSystem> CreateFileSystem();

}  // namespace zevrino::desktop::installer
