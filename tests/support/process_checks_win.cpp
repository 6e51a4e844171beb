// The parts of process_win.h that fail the calling test. They stand apart
// from process_win.cpp so that the programs the end-to-end tests start, which
// use only the rest, link without GoogleTest and stay small (some are served
// for download or installed as the application).
#include <gtest/gtest.h>

#include "tests/support/process_win.h"
#include "tests/support/utf16.h"

namespace zevrino::desktop::installer::testing {

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
