#pragma once
// A real directory per test, removed at the end; a failing removal means a
// handle was left open.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zevrino::desktop::packer::testing {

class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // UTF-8 path of a name inside the directory.
  std::string File(const std::string& name) const;
  // Names of the entries in the directory, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytes(const std::string& path);

}  // namespace zevrino::desktop::packer::testing
