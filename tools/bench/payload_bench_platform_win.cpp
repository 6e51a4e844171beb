#include <windows.h>
// psapi.h needs the types of windows.h.
#include <psapi.h>

#include <vector>

#include "tools/bench/payload_bench_platform.h"

namespace zevrino::desktop::installer::bench {

MappedFile::~MappedFile() {
  if (data_ != nullptr) {
    UnmapViewOfFile(data_);
  }
}

bool MappedFile::Open(const std::string& utf8_path) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8_path.c_str(), -1, nullptr, 0);
  if (length <= 0) {
    return false;
  }
  std::vector<wchar_t> wide(static_cast<std::size_t>(length));
  MultiByteToWideChar(CP_UTF8, 0, utf8_path.c_str(), -1, wide.data(), length);
  HANDLE file = CreateFileW(wide.data(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  LARGE_INTEGER size;
  HANDLE mapping = nullptr;
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  }
  CloseHandle(file);  // the mapping object keeps the file open
  if (mapping == nullptr) {
    return false;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  CloseHandle(mapping);  // the view keeps the mapping alive
  if (view == nullptr) {
    return false;
  }
  data_ = static_cast<const std::uint8_t*>(view);
  size_ = static_cast<std::size_t>(size.QuadPart);
  return true;
}

std::uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    return 0;
  }
  return counters.PeakWorkingSetSize;
}

double ThreadCpuSeconds() {
  FILETIME creation, exit, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user)) {
    return 0;
  }
  auto ticks = [](const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns units
}

}  // namespace zevrino::desktop::installer::bench
