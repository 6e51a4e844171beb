#include "ui/running_application_win.h"

#include <cstdint>
#include <cstring>

#include "installer/named_objects.h"
#include "installer/scoped_handle_win.h"

namespace zevrino::desktop::installer {

namespace {

constexpr char kMainWindowClass[] = "ZevrinoMainWindow";
constexpr char kHttpsListenerClass[] = "ZevrinoHttpsListener";

// The process of `window` opened with `access`; no handle when the window
// is gone or the process cannot be opened. The installer's own process is
// never a target: a handle in the window-handle mapping that names one of
// our own windows (stale, reused or planted) must not make the installer
// wait on itself and then terminate itself with exit code 0, which would
// look like a successful run.
ScopedKernelHandle OpenWindowProcess(HWND window, DWORD access) {
  DWORD process_id = 0;
  ::GetWindowThreadProcessId(window, &process_id);
  if (process_id == 0 || process_id == ::GetCurrentProcessId()) {
    return ScopedKernelHandle();
  }
  return ScopedKernelHandle(::OpenProcess(access, FALSE, process_id));
}

bool WaitForExit(const ScopedKernelHandle& process, DWORD timeout_ms) {
  return ::WaitForSingleObject(process.get(), timeout_ms) == WAIT_OBJECT_0;
}

}  // namespace

bool IsApplicationRunning(HWND* window) {
  const ScopedKernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kApplicationMutexName));
  if (!mutex.valid()) {
    return false;
  }
  if (window != nullptr) {
    *window = FindApplicationWindow();
  }
  return true;
}

HWND FindApplicationWindow() {
  const ScopedKernelHandle mapping(
      ::OpenFileMappingW(FILE_MAP_READ, FALSE, kApplicationWindowMappingName));
  if (mapping.valid()) {
    const ScopedMappedView view(::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 8));
    if (view.valid()) {
      // The application writes the handle as a 64-bit value whatever its own
      // bitness; window handles are valid across processes of both kinds.
      std::uint64_t handle = 0;
      std::memcpy(&handle, view.get(), sizeof handle);
      return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle));
    }
  }
  return ::FindWindowA(kMainWindowClass, nullptr);
}

bool CloseApplication(DWORD timeout_ms) {
  HWND window = nullptr;
  if (!IsApplicationRunning(&window)) {
    return false;
  }
  return CloseWindowProcess(window, timeout_ms, kApplicationCloseMessages);
}

void CloseHttpsListener(DWORD timeout_ms) {
  const HWND window = ::FindWindowA(kHttpsListenerClass, nullptr);
  if (window != nullptr) {
    CloseWindowProcess(window, timeout_ms, kHttpsListenerCloseMessages);
  }
}

bool CloseWindowProcess(HWND window, DWORD timeout_ms, const CloseMessages& messages) {
  for (const UINT message : messages) {
    if (SendAndWaitForExit(window, message, timeout_ms)) {
      return true;
    }
  }
  return TerminateWindowProcess(window, timeout_ms);
}

bool SendAndWaitForExit(HWND window, UINT message, DWORD timeout_ms) {
  const ScopedKernelHandle process = OpenWindowProcess(window, SYNCHRONIZE);
  if (!process.valid()) {
    return false;
  }
  DWORD_PTR answer = 0;
  if (::SendMessageTimeoutA(window, message, 0, 0, SMTO_ABORTIFHUNG, timeout_ms, &answer) == 0) {
    return false;
  }
  return WaitForExit(process, timeout_ms);
}

bool TerminateWindowProcess(HWND window, DWORD timeout_ms) {
  const ScopedKernelHandle process = OpenWindowProcess(window, PROCESS_TERMINATE | SYNCHRONIZE);
  if (!process.valid()) {
    return false;
  }
  ::TerminateProcess(process.get(), 0);
  return WaitForExit(process, timeout_ms);
}

}  // namespace zevrino::desktop::installer
