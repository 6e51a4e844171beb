#include "tests/support/plain_files_win.h"

#include <windows.h>

#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer::testing {

std::string ReadPlainFile(const std::wstring& path, bool* found) {
  const ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_EXISTING, 0, nullptr));
  if (found != nullptr) {
    *found = file.valid();
  }
  std::string text;
  char buffer[65536];
  DWORD read = 0;
  while (file.valid() && ::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) &&
         read > 0) {
    text.append(buffer, read);
  }
  return text;
}

bool PlainFileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace zevrino::desktop::installer::testing
