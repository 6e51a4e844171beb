#include "tests/support/scratch_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace zevrino::desktop::installer::testing {

namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory(const std::string& label, Removal removal,
                                   const fs::path& parent)
    : removal_(removal) {
  const fs::path base = parent.empty() ? fs::temp_directory_path() : parent;
  std::error_code ec;
  fs::create_directories(base, ec);
  // Names are random: process ids are reused, and a crashed run may have
  // left its directory behind. The first name that does not exist is taken.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    path_ = base / fs::u8path(label + "-" + std::to_string(random()));
    if (fs::create_directory(path_, ec)) {
      return;
    }
  }
  ADD_FAILURE() << "cannot create a scratch directory in " << base.u8string() << ": "
                << ec.message();
}

ScratchDirectory::~ScratchDirectory() {
  const bool removed = RemoveTree(path_);
  if (removal_ == Removal::kChecked) {
    EXPECT_TRUE(removed) << "scratch directory not fully removed (a handle left open?): "
                         << path_.u8string();
  }
}

fs::path ScratchDirectory::Write(const AnyPath& name, const Bytes& bytes) const {
  const fs::path path = path_ / name.get();
  WriteBytes(path, bytes);
  return path;
}

std::vector<std::string> ScratchDirectory::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().u8string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zevrino::desktop::installer::testing
