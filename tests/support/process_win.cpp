#include "tests/support/process_win.h"

#include "windows/create_process_win.h"

namespace zevrino::desktop::installer::testing {

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) {
      return std::wstring();
    }
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring OwnFolder() {
  const std::wstring path = OwnPath();
  return path.substr(0, path.find_last_of(L'\\'));
}

StartedProgram StartProgram(std::wstring command_line, const wchar_t* application,
                            const wchar_t* directory) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  StartedProgram started;
  if (CreateProcessRetryingLostStart(application, command_line.data(), FALSE, directory, &startup,
                                     &info)) {
    ::CloseHandle(info.hThread);
    started.handle = ScopedKernelHandle(info.hProcess);
    started.id = info.dwProcessId;
  }
  return started;
}

}  // namespace zevrino::desktop::installer::testing
