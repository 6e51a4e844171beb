#include "tests/unit/pack_installer/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

namespace zevrino::desktop::packer::testing {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
  std::random_device random;
  path_ = fs::temp_directory_path() / ("zv-packer-test-" + std::to_string(random()));
  fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
  EXPECT_FALSE(ec) << "scratch directory not removable: " << ec.message();
}

std::string ScratchDir::File(const std::string& name) const {
  return (path_ / name).u8string();
}

std::vector<std::string> ScratchDir::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

}  // namespace zevrino::desktop::packer::testing
