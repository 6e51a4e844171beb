#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <fstream>

namespace zevrino::desktop::installer::testing {

namespace fs = std::filesystem;

Bytes ReadBytes(const AnyPath& path) {
  const std::string text = ReadText(path);
  return Bytes(text.begin(), text.end());
}

void WriteBytes(const AnyPath& path, const Bytes& bytes) {
  WriteText(path, std::string(bytes.begin(), bytes.end()));
}

void WriteText(const AnyPath& path, const std::string& text) {
  std::error_code ignored;  // a folder that cannot be made shows in the write
  fs::create_directories(path.get().parent_path(), ignored);
  std::ofstream out(path.get(), std::ios::binary | std::ios::trunc);
  out << text;
  EXPECT_TRUE(out.flush().good()) << "cannot write " << path.get().u8string();
}

void WriteTree(const fs::path& root, const Tree& tree) {
  for (const auto& [name, bytes] : tree) {
    WriteBytes(root / fs::u8path(name), bytes);
  }
}

Bytes TextBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

Tree ReadTree(const fs::path& root) {
  Tree tree;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) {
      tree[fs::relative(it->path(), root).generic_u8string()] = ReadBytes(it->path());
    }
  }
  return tree;
}

}  // namespace zevrino::desktop::installer::testing
