// first_paint_probe.exe: how long an interactive installer run takes to show
// its progress window. Used by tools/bench/first_paint_bench.sh.
//
//   first_paint_probe.exe INSTALLER [ARGS...]
//
// Starts INSTALLER with ARGS (as a child with this process's token: start the
// probe through run_limited.exe for a normal user's run), waits for a visible
// top-level window of class "ZevrinoInstaller" that belongs to it, then until
// that window and its children have been painted (their update regions are
// empty for the first time), and waits for the installer to end. Prints
//   visible_ms=V painted_ms=P exit=E
// with V and P counted from just before CreateProcessW. Polls every
// millisecond; exits with 0 when the window was painted and the installer
// ended with 0, with 1 otherwise (on the command line's mistakes too).

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kProgressWindowClass[] = L"ZevrinoInstaller";
constexpr DWORD kTimeLimitMs = 120000;

// The visible progress window of the process, or nullptr.
HWND FindProgressWindow(DWORD process_id) {
  for (HWND window = FindWindowExW(nullptr, nullptr, kProgressWindowClass, nullptr);
       window != nullptr; window = FindWindowExW(nullptr, window, kProgressWindowClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == process_id && IsWindowVisible(window)) {
      return window;
    }
  }
  return nullptr;
}

BOOL CALLBACK FindUnpaintedChild(HWND child, LPARAM context) {
  if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(context) = true;
    return FALSE;
  }
  return TRUE;
}

bool Painted(HWND window) {
  if (GetUpdateRect(window, nullptr, FALSE)) {
    return false;
  }
  bool unpainted_child = false;
  EnumChildWindows(window, FindUnpaintedChild, reinterpret_cast<LPARAM>(&unpainted_child));
  return !unpainted_child;
}

double MillisecondsSince(const LARGE_INTEGER& start) {
  LARGE_INTEGER now;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: first_paint_probe.exe INSTALLER [ARGS...]\n");
    return 1;
  }
  // The arguments are plain words in the benchmark (paths without quotes).
  std::wstring command_line = L"\"" + std::wstring(argv[1]) + L"\"";
  for (int i = 2; i < argc; ++i) {
    command_line += L" " + std::wstring(argv[i]);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  LARGE_INTEGER start;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(argv[1], command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &info)) {
    std::fprintf(stderr, "first_paint_probe: CreateProcessW failed (%lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(info.hThread);

  double visible_ms = -1;
  double painted_ms = -1;
  HWND window = nullptr;
  while (painted_ms < 0 && WaitForSingleObject(info.hProcess, 1) == WAIT_TIMEOUT &&
         MillisecondsSince(start) < kTimeLimitMs) {
    if (window == nullptr) {
      window = FindProgressWindow(info.dwProcessId);
      if (window != nullptr) {
        visible_ms = MillisecondsSince(start);
      }
    }
    if (window != nullptr && Painted(window)) {
      painted_ms = MillisecondsSince(start);
    }
  }
  WaitForSingleObject(info.hProcess, kTimeLimitMs);
  DWORD exit_code = 1;
  GetExitCodeProcess(info.hProcess, &exit_code);
  CloseHandle(info.hProcess);
  std::printf("visible_ms=%.1f painted_ms=%.1f exit=%lu\n", visible_ms, painted_ms, exit_code);
  return painted_ms >= 0 && exit_code == 0 ? 0 : 1;
}
