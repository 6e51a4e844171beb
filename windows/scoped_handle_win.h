#pragma once
// Move-only owners of Windows handles, one kind per way of closing. Closing
// keeps the thread's last-error value, so a caller can close first and read
// GetLastError afterwards.

#include <windows.h>

#include <utility>

#include "windows/system_library_win.h"

namespace zevrino::desktop::installer {

template <typename Traits>
class ScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  ScopedHandle() = default;
  explicit ScopedHandle(Handle handle) : handle_(handle) {}
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

  bool valid() const { return Traits::IsValid(handle_); }
  Handle get() const { return handle_; }

  Handle Release() { return std::exchange(handle_, Traits::Invalid()); }

  // For a call that hands out a handle through an out-parameter: closes what
  // is held first.
  Handle* Receive() {
    Close();
    return &handle_;
  }

  void Close() {
    if (valid()) {
      const DWORD last_error = ::GetLastError();
      Traits::Close(handle_);
      ::SetLastError(last_error);
      handle_ = Traits::Invalid();
    }
  }

 private:
  Handle handle_ = Traits::Invalid();
};

// A kernel object closed with CloseHandle: file, mapping, event, mutex,
// process, thread. Windows reports failure as null for some creators and as
// INVALID_HANDLE_VALUE for others (CreateFileW), so both mean "no handle".
struct KernelHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { ::CloseHandle(handle); }
};

// A directory search from FindFirstFileExW, closed with FindClose.
struct FindHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() { return INVALID_HANDLE_VALUE; }
  static bool IsValid(Handle handle) { return handle != INVALID_HANDLE_VALUE; }
  static void Close(Handle handle) { ::FindClose(handle); }
};

// A WinINet handle (session or request), closed with InternetCloseHandle.
// wininet.dll is never imported statically (system_library_win.h); a handle
// can only exist once it has been loaded, so the lookup here finds it.
struct InternetHandleTraits {
  using Handle = void*;  // HINTERNET
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) {
    using CloseFunction = BOOL(WINAPI*)(void*);
    static const CloseFunction close =
        GetSystemFunction<CloseFunction>(L"wininet.dll", "InternetCloseHandle");
    if (close != nullptr) {
      close(handle);
    }
  }
};

// A registry key from RegCreateKeyExW or RegOpenKeyExW, closed with
// RegCloseKey. Predefined roots (HKEY_CURRENT_USER) are never owned.
struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { ::RegCloseKey(handle); }
};

// The screen's device context from GetDC(nullptr), released with ReleaseDC.
struct ScreenDcTraits {
  using Handle = HDC;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { ::ReleaseDC(nullptr, handle); }
};

// A view of a file mapping from MapViewOfFile, closed with UnmapViewOfFile.
struct MappedViewTraits {
  using Handle = const void*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { ::UnmapViewOfFile(handle); }
};

// A COM interface pointer, closed with its Release. The owner takes over the
// reference that CoCreateInstance or QueryInterface handed out.
template <typename Interface>
struct ComPointerTraits {
  using Handle = Interface*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle handle) { return handle != nullptr; }
  static void Close(Handle handle) { handle->Release(); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedMappedView = ScopedHandle<MappedViewTraits>;
template <typename Interface>
using ScopedComPointer = ScopedHandle<ComPointerTraits<Interface>>;
// CreateFileW's handles are kernel handles; the name says where one came from.
using ScopedFileHandle = ScopedKernelHandle;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedInternetHandle = ScopedHandle<InternetHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedScreenDc = ScopedHandle<ScreenDcTraits>;

}  // namespace zevrino::desktop::installer
