#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "tools/bench/payload_bench_platform.h"

namespace zevrino::desktop::installer::bench {

MappedFile::~MappedFile() {
  if (data_ != nullptr) {
    munmap(const_cast<std::uint8_t*>(data_), size_);
  }
}

bool MappedFile::Open(const std::string& utf8_path) {
  const int fd = open(utf8_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return false;
  }
  struct stat info;
  void* view = MAP_FAILED;
  if (fstat(fd, &info) == 0 && info.st_size > 0) {
    view = mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
  }
  close(fd);  // the mapping keeps the file open
  if (view == MAP_FAILED) {
    return false;
  }
  data_ = static_cast<const std::uint8_t*>(view);
  size_ = static_cast<std::size_t>(info.st_size);
  return true;
}

std::uint64_t PeakMemoryBytes() {
  struct rusage usage;
  if (getrusage(RUSAGE_SELF, &usage) != 0) {
    return 0;
  }
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes on Linux
}

double ThreadCpuSeconds() {
  struct timespec now;
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) != 0) {
    return 0;
  }
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace zevrino::desktop::installer::bench
