#pragma once
// Creating and looking for the named mutexes of base/named_objects.h.

#include <windows.h>

#include "base/mode_ports.h"
#include "base/named_objects.h"

namespace zevrino::desktop::installer {

// Creates the named mutex `name` unless it exists. False only when a mutex
// of that name already existed; a mutex that cannot be created at all counts
// as absent (true, *handle null). On success *handle (when given) receives
// it; without `handle` it stays open, and the name taken, until the process
// ends.
bool TryCreateNamedMutex(const wchar_t* name, HANDLE* handle = nullptr);

// Creates the named mutex `name`, or opens it when it exists, and keeps it
// open until the process ends. False when neither could be done.
bool HoldNamedMutex(const wchar_t* name);

// True when some process has created the named mutex `name`.
bool NamedMutexExists(const wchar_t* name);

// The NamedMutexes port over the calls above. The handles of the names it
// takes stay open until the process ends or Release.
class WindowsNamedMutexes final : public NamedMutexes {
 public:
  WindowsNamedMutexes() = default;
  // What TryTake took is released with its owner.
  ~WindowsNamedMutexes();
  WindowsNamedMutexes(const WindowsNamedMutexes&) = delete;
  WindowsNamedMutexes& operator=(const WindowsNamedMutexes&) = delete;

  bool TryTake(const wchar_t* name, bool* held) override;
  bool Hold(const wchar_t* name) override { return HoldNamedMutex(name); }
  bool Exists(const wchar_t* name) override { return NamedMutexExists(name); }
  void Release(const wchar_t* name) override;

 private:
  struct Taken {
    const wchar_t* name = nullptr;
    HANDLE handle = nullptr;
  };
  Taken taken_[4];
};

}  // namespace zevrino::desktop::installer
