// The UTF-8 path helpers that call the system.

#include <windows.h>

#include "base/path_utf8.h"
#include "base/wide_path.h"
#include "windows/file_write_win.h"
#include "windows/wide_text_win.h"

namespace zevrino::desktop::installer {
namespace {

// `path` as the file API takes it (in the \\?\ form when long); false when
// it does not convert.
bool SystemPath(const char* path, std::wstring* wide) {
  if (!Utf8ToWidePath(path, wide)) {
    return false;
  }
  *wide = ExtendedLengthPath(*wide);
  return true;
}

}  // namespace

bool create_directory_utf8(const char* path) {
  std::wstring wide;
  return SystemPath(path, &wide) && ::CreateDirectoryW(wide.c_str(), nullptr) != FALSE;
}

bool create_parent_directories(const char* base, const char* relative_path) {
  for (const std::string& directory : parent_directory_prefixes(base, relative_path)) {
    create_directory_utf8(directory.c_str());
  }
  return true;
}

bool delete_file_utf8(const char* path) {
  std::wstring wide;
  return SystemPath(path, &wide) && ::DeleteFileW(wide.c_str()) != FALSE;
}

bool delete_file_or_delay(const char* path) {
  std::wstring wide;
  if (!SystemPath(path, &wide)) {
    return false;
  }
  return ::DeleteFileW(wide.c_str()) != FALSE ||
         ::MoveFileExW(wide.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool file_exists_utf8(const char* path) {
  std::wstring wide;
  return SystemPath(path, &wide) && ::GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ResultCode write_buffer_to_file(const char* path, const void* buffer, std::uint64_t length) {
  std::wstring wide;
  if (!SystemPath(path, &wide)) {
    return kPathConversionFailed;
  }
  return WriteFileInOneGo(wide.c_str(), buffer, length);
}

}  // namespace zevrino::desktop::installer
