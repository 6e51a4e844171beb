#pragma once
// A real directory for one test, removed with everything in it when the
// object goes. The removal is checked: Windows deletes no file that is still
// open or mapped, so a leaked handle fails the test that leaked it. Native
// tests make theirs under the temporary folder (%TEMP% under Wine); the
// end-to-end tests under the host build tree (tests/e2e/harness/test_paths.h).

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/files.h"

namespace zevrino::desktop::installer::testing {

class ScratchDirectory {
 public:
  // kUnchecked: for a directory that outlives the tests (a static, removed
  // after gtest can report anything) or that a program a test left running
  // may still write into.
  enum class Removal { kChecked, kUnchecked };

  // A new directory "<label>-<number>" under `parent`, by default the
  // temporary folder; `parent` is created when missing.
  explicit ScratchDirectory(const std::string& label = "zv", Removal removal = Removal::kChecked,
                            const std::filesystem::path& parent = {});
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const AnyPath& name) const { return path_ / name.get(); }
  // The UTF-8 path of `name` inside, as the product's functions take it.
  std::string File(const AnyPath& name) const { return (path_ / name.get()).u8string(); }
  // Writes `bytes` as the file `name` inside and returns its path.
  std::filesystem::path Write(const AnyPath& name, const Bytes& bytes) const;
  // The names of the entries directly inside, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
  Removal removal_;
};

}  // namespace zevrino::desktop::installer::testing
