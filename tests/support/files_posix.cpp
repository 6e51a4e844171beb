// The platform's part of files.h on POSIX systems.
#include "tests/support/files.h"

#include <fstream>
#include <iterator>

namespace zevrino::desktop::installer::testing {

namespace fs = std::filesystem;

std::string ReadText(const AnyPath& path, bool* found) {
  std::ifstream in(path.get(), std::ios::binary);
  if (found != nullptr) {
    *found = in.is_open();
  }
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
