#pragma once
// A small volume for disk-space tests: a tmpfs mounted for the test (the
// tests run as root) and mapped as a drive of a prefix (dosdevices/<x>: ->
// the mount). It holds a filler file, opened once, that takes whatever space
// a test wants taken ("another program writing"), also while the installer
// runs: a watch on the volume (fanotify permission events) holds a chosen
// file's opening until the filler has grown. Everything is undone when the
// object goes.

#include <sys/types.h>

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
  // Null, with *error saying why, where mounting or mapping is refused.
  static std::unique_ptr<SmallVolume> Mount(const WinePrefix& prefix, char drive,
                                            std::uint64_t bytes, std::string* error);
  ~SmallVolume();

  const std::filesystem::path& path() const { return path_; }
  // Makes the filler take all but `free_bytes` of the volume (0 when more
  // are free already).
  bool LeaveFree(std::uint64_t free_bytes);
  void EmptyFiller();

  // Runs `before` once, while the first opening of a file whose name ends
  // in `suffix` waits for it. False, with *error, where the system refuses
  // the watch.
  bool BeforeOpening(const std::string& suffix, std::function<void()> before, std::string* error);

 private:
  SmallVolume() = default;
  void Watch();

  std::filesystem::path path_;
  std::filesystem::path link_;
  int filler_ = -1;
  int watch_ = -1;
  int stop_[2] = {-1, -1};
  std::thread watcher_;
  std::string watched_suffix_;
  std::function<void()> before_;
};

}  // namespace zevrino::e2e
