#include "tests/e2e/harness/file_tree.h"

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;

Bytes TextBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

void WriteTree(const fs::path& root, const Tree& tree) {
  for (const auto& [name, bytes] : tree) {
    WriteBinaryFile(root / fs::u8path(name), bytes);
  }
}

Tree ReadTree(const fs::path& root) {
  Tree tree;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) {
      tree[fs::relative(it->path(), root).generic_u8string()] = ReadBinaryFile(it->path());
    }
  }
  return tree;
}

}  // namespace zevrino::e2e
