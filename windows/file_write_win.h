#pragma once
// The single write used by FileSystem::WriteNewFile and write_buffer_to_file.

#include <cstdint>

#include "base/result_code.h"

namespace zevrino::desktop::installer {

// How WriteFileInOneGo treats a name that is taken.
enum class ExistingFile {
  kTruncate,  // an existing file is replaced
  kRefuse,    // the file must be new: a taken name gives kCreateFailed
};

// Creates (or, with kTruncate, truncates) `path` (others may read it while
// it is written) and writes `size` bytes in one WriteFile. Returns
// kSuccess; kFileInUse when another process holds the file (sharing
// violation); kCreateFailed when it cannot be created otherwise;
// kWriteFailed when the write fails or is short, in which case the partial
// file is deleted. Sizes of 4 GiB or more do not fit one write and are
// refused with kWriteFailed before the file is touched.
ResultCode WriteFileInOneGo(const wchar_t* path, const void* data, std::uint64_t size,
                            ExistingFile existing = ExistingFile::kTruncate);

}  // namespace zevrino::desktop::installer
