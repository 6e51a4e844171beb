#include "tests/e2e/harness/file_tree.h"

#include <fstream>
#include <iterator>

namespace zevrino::e2e {

namespace fs = std::filesystem;

Bytes ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileText(const fs::path& path) {
  const Bytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

bool WriteFileBytes(const fs::path& path, const Bytes& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return out.good();
}

Bytes TextBytes(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

bool WriteTree(const fs::path& root, const Tree& tree) {
  bool written = true;
  for (const auto& [name, bytes] : tree) {
    written = WriteFileBytes(root / fs::u8path(name), bytes) && written;
  }
  return written;
}

Tree ReadTree(const fs::path& root) {
  Tree tree;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) {
      tree[fs::relative(it->path(), root).generic_u8string()] = ReadFileBytes(it->path());
    }
  }
  return tree;
}

}  // namespace zevrino::e2e
