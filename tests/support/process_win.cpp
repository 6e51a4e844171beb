#include "tests/support/process_win.h"

#include <gtest/gtest.h>

#include "installer/create_process_win.h"
#include "tests/support/utf16.h"

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

DWORD RunProgram(const std::wstring& command_line, std::chrono::milliseconds timeout) {
  const StartedProgram program = StartProgram(command_line);
  if (!program.handle.valid()) {
    ADD_FAILURE() << "cannot start " << ToUtf8(command_line) << ": error " << ::GetLastError();
    return 0xFFFFFFFF;
  }
  DWORD exit_code = 0xFFFFFFFF;
  EXPECT_EQ(::WaitForSingleObject(program.handle.get(), static_cast<DWORD>(timeout.count())),
            WAIT_OBJECT_0);
  EXPECT_TRUE(::GetExitCodeProcess(program.handle.get(), &exit_code));
  return exit_code;
}

HeldFile::HeldFile(const std::wstring& path, DWORD share)
    : handle_(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr)) {
  EXPECT_TRUE(handle_.valid()) << ToUtf8(path) << " cannot be held: error " << ::GetLastError();
}

}  // namespace zevrino::desktop::installer::testing
