// The UTF-8 path helpers that call the system.

#include <windows.h>

#include "installer/file_write_win.h"
#include "installer/path_utf8.h"
#include "installer/wide_text_win.h"

namespace zevrino::desktop::installer {

bool create_directory_utf8(const char* path) {
  wchar_t wide[kMaxWidePath];
  return Utf8ToWidePath(path, wide) && ::CreateDirectoryW(wide, nullptr) != FALSE;
}

bool create_parent_directories(const char* base, const char* relative_path) {
  for (const std::string& directory : parent_directory_prefixes(base, relative_path)) {
    create_directory_utf8(directory.c_str());
  }
  return true;
}

bool delete_file_utf8(const char* path) {
  wchar_t wide[kMaxWidePath];
  return Utf8ToWidePath(path, wide) && ::DeleteFileW(wide) != FALSE;
}

bool delete_file_or_delay(const char* path) {
  wchar_t wide[kMaxWidePath];
  if (!Utf8ToWidePath(path, wide)) {
    return false;
  }
  return ::DeleteFileW(wide) != FALSE ||
         ::MoveFileExW(wide, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool file_exists_utf8(const char* path) {
  wchar_t wide[kMaxWidePath];
  return Utf8ToWidePath(path, wide) && ::GetFileAttributesW(wide) != INVALID_FILE_ATTRIBUTES;
}

ResultCode write_buffer_to_file(const char* path, const void* buffer, std::uint64_t length) {
  wchar_t wide[kMaxWidePath];
  if (!Utf8ToWidePath(path, wide)) {
    return kPathConversionFailed;
  }
  return WriteFileInOneGo(wide, buffer, length);
}

}  // namespace zevrino::desktop::installer
