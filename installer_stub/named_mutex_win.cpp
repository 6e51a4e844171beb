#include "installer_stub/environment_checks_win.h"

namespace zevrino::desktop::installer {

HANDLE InteractiveMutex = nullptr;

bool TryCreateMutex(const wchar_t* name, HANDLE* handle) {
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

}  // namespace zevrino::desktop::installer
