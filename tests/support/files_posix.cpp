// The platform's part of files.h on POSIX systems.
#include "tests/support/files.h"

namespace zevrino::desktop::installer::testing {

namespace fs = std::filesystem;

bool Exists(const AnyPath& path) {
  std::error_code ignored;
  return fs::exists(path.get(), ignored);
}

bool IsDirectory(const AnyPath& path) {
  std::error_code ignored;
  return fs::is_directory(path.get(), ignored);
}

bool RemoveTree(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  return !ec;
}

}  // namespace zevrino::desktop::installer::testing
