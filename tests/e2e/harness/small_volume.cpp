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
  std::unique_ptr<SmallVolume> volume(new SmallVolume());
  volume->path_ = HostBuildDir() / "e2e" / ("volume-" + std::to_string(std::random_device()()));
  fs::create_directories(volume->path_);
  const std::string size = "size=" + std::to_string(bytes);
  if (::mount("tmpfs", volume->path_.c_str(), "tmpfs", 0, size.c_str()) != 0) {
    *error = "mounting a tmpfs was refused: " + std::string(std::strerror(errno));
    fs::remove(volume->path_);
    volume->path_.clear();
    return nullptr;
  }
  volume->filler_ = ::open((volume->path_ / "filler").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  volume->link_ = prefix.path() / "dosdevices" / (std::string(1, drive) + ":");
  std::error_code ec;
  fs::remove(volume->link_, ec);
  fs::create_directory_symlink(volume->path_, volume->link_, ec);
  if (volume->filler_ < 0 || ec) {
    *error = "the volume could not be prepared: " + ec.message();
    return nullptr;
  }
  return volume;
}

SmallVolume::~SmallVolume() {
  if (watcher_.joinable()) {
    (void)::write(stop_[1], "x", 1);
    watcher_.join();
  }
  for (int fd : {watch_, stop_[0], stop_[1], filler_}) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
  std::error_code ec;
  fs::remove(link_, ec);
  if (!path_.empty()) {
    ::umount2(path_.c_str(), MNT_DETACH);  // Wine may still hold a folder of it open
    fs::remove(path_, ec);
  }
}

bool SmallVolume::LeaveFree(std::uint64_t free_bytes) {
  struct statvfs stats = {};
  if (::fstatvfs(filler_, &stats) != 0) {
    return false;
  }
  const std::uint64_t available = std::uint64_t{stats.f_bavail} * stats.f_frsize;
  const off_t size = ::lseek(filler_, 0, SEEK_END);
  return available <= free_bytes ||
         ::fallocate(filler_, 0, size, static_cast<off_t>(available - free_bytes)) == 0 ||
         errno == ENOSPC;
}

void SmallVolume::EmptyFiller() {
  (void)::ftruncate(filler_, 0);
}

bool SmallVolume::BeforeOpening(const std::string& suffix, std::function<void()> before,
                                std::string* error) {
  watch_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
  if (watch_ < 0 || ::pipe2(stop_, O_CLOEXEC) != 0 ||
      ::fanotify_mark(watch_, FAN_MARK_ADD | FAN_MARK_MOUNT, FAN_OPEN_PERM, AT_FDCWD,
                      path_.c_str()) != 0) {
    *error = "a fanotify watch was refused: " + std::string(std::strerror(errno));
    return false;
  }
  watched_suffix_ = suffix;
  before_ = std::move(before);
  watcher_ = std::thread([this] { Watch(); });
  return true;
}

// Every opening on the volume waits for this thread's answer; it allows
// each one, the first of a watched name after `before_` has run.
void SmallVolume::Watch() {
  alignas(fanotify_event_metadata) char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{watch_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN) != 0) {
      return;  // closing the watch then lets every waiting opening go on
    }
    const ssize_t length = ::read(watch_, buffer, sizeof buffer);
    auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
    for (ssize_t left = length; FAN_EVENT_OK(event, left); event = FAN_EVENT_NEXT(event, left)) {
      char target[4096] = {};
      const std::string self = "/proc/self/fd/" + std::to_string(event->fd);
      (void)::readlink(self.c_str(), target, sizeof target - 1);
      const std::string name = fs::path(target).filename().string();
      if (before_ && name.size() >= watched_suffix_.size() &&
          name.compare(name.size() - watched_suffix_.size(), std::string::npos, watched_suffix_) ==
              0) {
        before_();
        before_ = nullptr;
      }
      const fanotify_response allow = {event->fd, FAN_ALLOW};
      (void)::write(watch_, &allow, sizeof allow);
      ::close(event->fd);
    }
  }
}

}  // namespace zevrino::e2e
