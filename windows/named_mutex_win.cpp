#include "windows/named_mutex_win.h"

#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer {
namespace {

// Compared here rather than through wcscmp, which the program would
// otherwise import for this alone.
bool SameName(const wchar_t* a, const wchar_t* b) {
  while (*a != L'\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

}  // namespace

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

bool WindowsNamedMutexes::TryTake(const wchar_t* name, bool* held) {
  HANDLE handle = nullptr;
  if (!TryCreateNamedMutex(name, &handle)) {
    return false;
  }
  *held = handle != nullptr;
  for (Taken& taken : taken_) {
    if (handle != nullptr && taken.handle == nullptr) {
      taken = {name, handle};
      break;
    }
  }
  return true;
}

WindowsNamedMutexes::~WindowsNamedMutexes() {
  for (const Taken& taken : taken_) {
    if (taken.handle != nullptr) {
      ::CloseHandle(taken.handle);
    }
  }
}

void WindowsNamedMutexes::Release(const wchar_t* name) {
  for (Taken& taken : taken_) {
    if (taken.handle != nullptr && SameName(taken.name, name)) {
      ::CloseHandle(taken.handle);
      taken = Taken();
    }
  }
}

}  // namespace zevrino::desktop::installer
