#include "windows/mapped_file_win.h"

#include <windows.h>

#include <utility>

#include "base/wide_path.h"
#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {

MappedFile::~MappedFile() {
  Unmap();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : view_(std::exchange(other.view_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    Unmap();
    view_ = std::exchange(other.view_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

bool MappedFile::Open(const wchar_t* path, ErrorCode& error) {
  Unmap();
  ScopedKernelHandle file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER file_size;
  if (!file.valid() || !::GetFileSizeEx(file.get(), &file_size)) {
    error = ErrorCode::System(static_cast<std::int32_t>(::GetLastError()));
    return false;
  }
  if (file_size.QuadPart == 0) {
    // Windows refuses to map an empty file; there is nothing to view.
    error.clear();
    return true;
  }
  // The maximum size is the size just measured, so a file that shrank since
  // cannot leave the view shorter than size().
  ScopedKernelHandle mapping(::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY,
                                                  static_cast<DWORD>(file_size.QuadPart >> 32),
                                                  static_cast<DWORD>(file_size.QuadPart), nullptr));
  if (!mapping.valid()) {
    error = ErrorCode::System(static_cast<std::int32_t>(::GetLastError()));
    return false;
  }
  // The view keeps the mapping object alive; both handles can go.
  void* view = ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    error = ErrorCode::System(static_cast<std::int32_t>(::GetLastError()));
    return false;
  }
  view_ = static_cast<const std::uint8_t*>(view);
  size_ = static_cast<std::size_t>(file_size.QuadPart);
  error.clear();
  return true;
}

void MappedFile::Unmap() {
  if (view_ != nullptr) {
    const DWORD last_error = ::GetLastError();
    ::UnmapViewOfFile(view_);
    ::SetLastError(last_error);
  }
  view_ = nullptr;
  size_ = 0;
}

}  // namespace zevrino::desktop::installer
