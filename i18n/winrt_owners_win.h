#pragma once
// Move-only owners for the Windows Runtime objects the language lookup uses.
// Each keeps the thread's last-error value intact across its release, so a
// failure can be inspected after the owners have gone out of scope.

#include <objbase.h>
#include <windows.h>
#include <winstring.h>

#include <utility>

namespace zevrino::desktop::i18n::gettext {

class scoped_hstring {
 public:
  scoped_hstring() = default;
  ~scoped_hstring() { reset(); }
  scoped_hstring(scoped_hstring&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  scoped_hstring& operator=(scoped_hstring&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
  }
  scoped_hstring(const scoped_hstring&) = delete;
  scoped_hstring& operator=(const scoped_hstring&) = delete;

  HSTRING get() const { return value_; }
  // For out-parameters; releases what is held first.
  HSTRING* receive() {
    reset();
    return &value_;
  }
  void reset() {
    if (value_ != nullptr) {
      const DWORD last_error = GetLastError();
      WindowsDeleteString(value_);
      SetLastError(last_error);
      value_ = nullptr;
    }
  }

 private:
  HSTRING value_ = nullptr;
};

// T is any interface derived from IUnknown.
template <typename T>
class com_ptr {
 public:
  com_ptr() = default;
  ~com_ptr() { reset(); }
  com_ptr(com_ptr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) {
      reset();
      value_ = std::exchange(other.value_, nullptr);
    }
    return *this;
  }
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;

  T* get() const { return value_; }
  T* operator->() const { return value_; }
  T** receive() {
    reset();
    return &value_;
  }
  void** receive_void() { return reinterpret_cast<void**>(receive()); }
  void reset() {
    if (value_ != nullptr) {
      const DWORD last_error = GetLastError();
      value_->Release();
      SetLastError(last_error);
      value_ = nullptr;
    }
  }

 private:
  T* value_ = nullptr;
};

// Initialises COM on the calling thread for the length of a scope, and undoes
// only what it did: a thread already initialised in another apartment mode
// keeps it and is left alone.
class scoped_com_apartment {
 public:
  explicit scoped_com_apartment(DWORD flags)
      : initialised_(SUCCEEDED(CoInitializeEx(nullptr, flags))) {}
  ~scoped_com_apartment() {
    if (initialised_) {
      const DWORD last_error = GetLastError();
      CoUninitialize();
      SetLastError(last_error);
    }
  }
  scoped_com_apartment(const scoped_com_apartment&) = delete;
  scoped_com_apartment& operator=(const scoped_com_apartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace zevrino::desktop::i18n::gettext
