#include "windows/file_write_win.h"

#include <windows.h>

#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {

ResultCode WriteFileInOneGo(const wchar_t* path, const void* data, std::uint64_t size,
                            ExistingFile existing) {
  // WriteFile takes a 32-bit count. Truncating the count would write a short
  // file and destroy an existing one for nothing, so refuse up front.
  if (size > MAXDWORD) {
    return kWriteFailed;
  }
  // A new file is never opened through a link that holds its name: the
  // name counts as taken.
  const DWORD disposition = existing == ExistingFile::kRefuse ? CREATE_NEW : CREATE_ALWAYS;
  ScopedFileHandle file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? kFileInUse : kCreateFailed;
  }
  DWORD written = 0;
  // An empty range still needs no WriteFile; some callers pass a null pointer
  // with it.
  const bool ok = size == 0 || (::WriteFile(file.get(), data, static_cast<DWORD>(size), &written,
                                            nullptr) != FALSE &&
                                written == size);
  file.Close();
  if (!ok) {
    ::DeleteFileW(path);
    return kWriteFailed;
  }
  return kSuccess;
}

}  // namespace zevrino::desktop::installer
