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

// Keeps the process's multithreaded apartment in use for the length of a
// scope, so that a thread that has not initialised COM may activate Windows
// Runtime classes. The thread itself stays as it was: unlike entering and
// leaving a single-threaded apartment, this creates and destroys no window.
class scoped_mta_usage {
 public:
  scoped_mta_usage() : in_use_(SUCCEEDED(CoIncrementMTAUsage(&cookie_))) {}
  ~scoped_mta_usage() {
    if (in_use_) {
      const DWORD last_error = GetLastError();
      CoDecrementMTAUsage(cookie_);
      SetLastError(last_error);
    }
  }
  scoped_mta_usage(const scoped_mta_usage&) = delete;
  scoped_mta_usage& operator=(const scoped_mta_usage&) = delete;

 private:
  CO_MTA_USAGE_COOKIE cookie_ = nullptr;
  bool in_use_;
};

}  // namespace zevrino::desktop::i18n::gettext
