#include "ui/running_application_win.h"

#include <cstdint>
#include <cstring>

#include "base/named_objects.h"
#include "base/wide_path.h"
#include "logging/log.h"
#include "ui/log_lines.h"
#include "windows/file_identity_win.h"
#include "windows/scoped_handle_win.h"
#include "windows/wide_text_win.h"

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

// True when the process of `window` runs the program file `application`.
// Anything that cannot be found out counts as another program: a process
// that is left alone only costs the in-use code later.
bool RunsApplication(HWND window, const std::wstring& application) {
  const ScopedKernelHandle process = OpenWindowProcess(window, PROCESS_QUERY_LIMITED_INFORMATION);
  std::wstring image(32768, L'\0');
  DWORD size = static_cast<DWORD>(image.size());
  if (!process.valid() || !::QueryFullProcessImageNameW(process.get(), 0, image.data(), &size)) {
    return false;
  }
  image.resize(size);
  FileIdentity running;
  FileIdentity installed;
  const bool same = IdentifyFile(image, &running) && IdentifyFile(application, &installed) &&
                    running == installed;
  if (!same) {
    logging::log_message(logging::kLevelWarning, "", kLineForeignWindowLeftAlone,
                         "Zevrino Installer - The window to close belongs to %s, not to %s; it "
                         "is left alone.",
                         WideToUtf8(image).c_str(), WideToUtf8(application).c_str());
  }
  return same;
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

bool CloseApplication(const std::wstring& application, DWORD timeout_ms) {
  HWND window = nullptr;
  if (!IsApplicationRunning(&window) || window == nullptr) {
    return false;
  }
  return CloseWindowProcess(window, application, timeout_ms, kApplicationCloseMessages);
}

void CloseHttpsListener(const std::wstring& application, DWORD timeout_ms) {
  const HWND window = ::FindWindowA(kHttpsListenerClass, nullptr);
  if (window != nullptr) {
    CloseWindowProcess(window, application, timeout_ms, kHttpsListenerCloseMessages);
  }
}

bool CloseWindowProcess(HWND window, const std::wstring& application, DWORD timeout_ms,
                        const CloseMessages& messages) {
  if (!RunsApplication(window, application)) {
    return false;
  }
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
