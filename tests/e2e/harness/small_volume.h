#pragma once
// A small volume for disk-space tests: a tmpfs mounted for the test (tests
// run as root) and mapped as a drive of a prefix. A filler file, opened
// once, takes what space a test wants taken, also while the installer runs:
// a fanotify watch holds a chosen file's opening until the filler has grown.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/e2e/harness/wine_prefix.h"

namespace zevrino::e2e {

class SmallVolume {
 public:
  // Null, with *error saying why, where mounting is refused.
  static std::unique_ptr<SmallVolume> Mount(const WinePrefix& prefix, char drive,
                                            std::uint64_t bytes, std::string* error);
  ~SmallVolume();  // ends the watch, unmaps and unmounts

  const std::filesystem::path& path() const { return path_; }
  // The filler takes all but `free_bytes` of the volume, or nothing.
  void LeaveFree(std::uint64_t free_bytes);
  // Runs `before` while the first opening of a file whose name ends in
  // `suffix` waits. False, with *error, where the watch is refused.
  bool BeforeOpening(std::string suffix, std::function<void()> before, std::string* error);

 private:
  std::filesystem::path path_, link_;
  int filler_ = -1, watch_ = -1;
  std::atomic<bool> stop_{false};
  std::thread watcher_;
};

}  // namespace zevrino::e2e
