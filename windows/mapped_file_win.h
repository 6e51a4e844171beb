#pragma once
// MappedFile: a read-only memory mapping of a whole file, owned for as long as
// the object lives. The installer maps its own executable this way so that a
// payload of hundreds of megabytes is never read into memory as a whole.
//
// Move-only. Unmapping keeps GetLastError as it was.

#include <cstddef>
#include <cstdint>

#include "base/error_code.h"

namespace zevrino::desktop::installer {

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps the whole file at `path` read-only, replacing any earlier mapping.
  // Other processes may go on reading or deleting the file. An empty file
  // gives an empty mapping (data() null, size() 0). On failure returns false
  // with the Windows error in `error` (system category) and maps nothing.
  bool Open(const wchar_t* path, ErrorCode& error);

  const std::uint8_t* data() const { return view_; }
  std::size_t size() const { return size_; }

 private:
  void Unmap();

  const std::uint8_t* view_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace zevrino::desktop::installer
