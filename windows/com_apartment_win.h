#pragma once
// Initialises COM on the calling thread for the length of a scope, and undoes
// only what it did: a thread already initialised in another apartment mode
// keeps it and is left alone. Leaving keeps the thread's last-error value.

#include <objbase.h>
#include <windows.h>

namespace zevrino::desktop::installer {

class ScopedComApartment {
 public:
  explicit ScopedComApartment(DWORD flags)
      : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, flags))) {}
  ~ScopedComApartment() {
    if (initialised_) {
      const DWORD last_error = ::GetLastError();
      ::CoUninitialize();
      ::SetLastError(last_error);
    }
  }
  ScopedComApartment(const ScopedComApartment&) = delete;
  ScopedComApartment& operator=(const ScopedComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace zevrino::desktop::installer
