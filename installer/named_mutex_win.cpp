#include "installer/named_mutex_win.h"

#include "installer/scoped_handle_win.h"

namespace zevrino::desktop::installer {

bool TryCreateNamedMutex(const wchar_t* name, HANDLE* handle) {
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  if (mutex != nullptr && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return false;
  }
  if (handle != nullptr) {
    *handle = mutex;
  }
  return true;
}

bool HoldNamedMutex(const wchar_t* name) {
  // Never closed: the name stays taken until the process ends.
  return ::CreateMutexW(nullptr, FALSE, name) != nullptr;
}

bool NamedMutexExists(const wchar_t* name) {
  const ScopedKernelHandle mutex(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, name));
  return mutex.valid();
}

}  // namespace zevrino::desktop::installer
