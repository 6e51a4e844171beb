#pragma once
// The two things the payload benchmark needs from the operating system: a
// read-only mapping of a file (the installer reads its payload the same way)
// and the process's peak memory.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zevrino::desktop::installer::bench {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Maps the whole file read-only; false when it cannot be opened or is empty.
  bool Open(const std::string& utf8_path);
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

// Peak resident memory of this process so far, in bytes (peak RSS on Linux,
// peak working set on Windows); both count the mapped file pages touched.
std::uint64_t PeakMemoryBytes();

// CPU time (user and kernel) used by the calling thread, in seconds. The
// benchmark machine is shared, so CPU time is steadier than wall time for
// comparing two decoders; it still counts page faults taken by the thread.
double ThreadCpuSeconds();

}  // namespace zevrino::desktop::installer::bench
