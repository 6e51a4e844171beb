#include "tests/e2e/harness/small_volume.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "tests/e2e/harness/test_paths.h"

namespace zevrino::e2e {

namespace fs = std::filesystem;

std::unique_ptr<SmallVolume> SmallVolume::Mount(const WinePrefix& prefix, char drive,
                                                std::uint64_t bytes, std::string* error) {
  auto volume = std::make_unique<SmallVolume>();
  const fs::path path =
      HostBuildDir() / "e2e" / ("volume-" + std::to_string(std::random_device()()));
  fs::create_directories(path);
  if (::mount("tmpfs", path.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) != 0) {
    *error = "mounting a tmpfs was refused: " + std::string(std::strerror(errno));
    fs::remove(path);
    return nullptr;
  }
  volume->path_ = path;
  volume->filler_ = ::open((path / "filler").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  volume->link_ = prefix.path() / "dosdevices" / (std::string(1, drive) + ":");
  fs::remove(volume->link_);
  fs::create_directory_symlink(path, volume->link_);
  return volume;
}

SmallVolume::~SmallVolume() {
  stop_ = true;
  if (watcher_.joinable()) {
    watcher_.join();
  }
  for (int fd : {watch_, filler_}) {  // closing the watch lets what waits go on
    ::close(fd);
  }
  std::error_code ec;
  fs::remove(link_, ec);
  ::umount2(path_.c_str(), MNT_DETACH);  // Wine may still hold a folder of it open
  fs::remove(path_, ec);
}

void SmallVolume::LeaveFree(std::uint64_t free_bytes) {
  struct statvfs stats = {};
  (void)::ftruncate(filler_, 0);
  ::fstatvfs(filler_, &stats);
  const std::uint64_t available = std::uint64_t{stats.f_bavail} * stats.f_frsize;
  if (available > free_bytes) {
    ::fallocate(filler_, 0, 0, static_cast<off_t>(available - free_bytes));
  }
}

bool SmallVolume::BeforeOpening(std::string suffix, std::function<void()> before,
                                std::string* error) {
  watch_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC | FAN_NONBLOCK, O_RDONLY);
  if (watch_ < 0 || ::fanotify_mark(watch_, FAN_MARK_ADD | FAN_MARK_MOUNT, FAN_OPEN_PERM, AT_FDCWD,
                                    path_.c_str()) != 0) {
    *error = "a fanotify watch was refused: " + std::string(std::strerror(errno));
    return false;
  }
  // Every opening on the volume waits for this thread's answer.
  watcher_ = std::thread([this, suffix, before]() mutable {
    alignas(fanotify_event_metadata) char buffer[4096];
    while (!stop_) {
      pollfd ready = {watch_, POLLIN, 0};
      ssize_t left = ::poll(&ready, 1, 100) > 0 ? ::read(watch_, buffer, sizeof buffer) : 0;
      for (auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
           FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
        char name[4096] = {};
        (void)::readlink(("/proc/self/fd/" + std::to_string(event->fd)).c_str(), name, 4095);
        const std::size_t length = std::strlen(name);
        if (before && length >= suffix.size() && suffix == name + length - suffix.size()) {
          std::exchange(before, nullptr)();
        }
        const fanotify_response allow = {event->fd, FAN_ALLOW};
        (void)::write(watch_, &allow, sizeof allow);
        ::close(event->fd);
      }
    }
  });
  return true;
}

}  // namespace zevrino::e2e
