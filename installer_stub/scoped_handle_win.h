#pragma once
// ScopedHandle: the owner of one kernel object handle (file, mapping, event,
// mutex, process, thread). Move-only; closes the handle when it goes out of
// scope. Closing keeps GetLastError as it was, so a caller can return after
// a failure and still report the error that caused it.

#include <windows.h>

namespace zevrino::desktop::installer {

class ScopedHandle {
 public:
  ScopedHandle() = default;
  // Takes ownership; null and INVALID_HANDLE_VALUE both mean "no handle".
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ~ScopedHandle() { Close(); }

  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;

  bool is_valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

  // Gives up ownership without closing.
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

  void Close() {
    if (is_valid()) {
      const DWORD last_error = ::GetLastError();
      ::CloseHandle(handle_);
      ::SetLastError(last_error);
    }
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace zevrino::desktop::installer
