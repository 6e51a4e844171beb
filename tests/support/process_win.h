#pragma once
// Programs that Windows tests start and the files they hold, through the
// product's handle owners (windows/scoped_handle_win.h).

#include <windows.h>

#include <chrono>
#include <string>

#include "windows/scoped_handle_win.h"

namespace zevrino::desktop::installer::testing {

// The running program's own file; empty when it cannot be named.
std::wstring OwnPath();
// Its folder, without a trailing backslash.
std::wstring OwnFolder();

struct StartedProgram {
  ScopedKernelHandle handle;  // invalid when it did not start
  DWORD id = 0;
};

// Starts `command_line` (with `application`, else the program its first
// token names) in `directory`, or this program's current one. A start that
// Wine loses under load is tried again, as the installer does.
StartedProgram StartProgram(std::wstring command_line, const wchar_t* application = nullptr,
                            const wchar_t* directory = nullptr);

// Runs `command_line` to its end and returns its exit code. A program that
// does not start or does not end within `timeout` fails the calling test
// and gives 0xFFFFFFFF.
DWORD RunProgram(const std::wstring& command_line,
                 std::chrono::milliseconds timeout = std::chrono::minutes(1));

// Holds `path` open for reading with `share`, as another program would
// hold it, until Release or destruction.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path, DWORD share = 0);
  void Release() { handle_.Close(); }

 private:
  ScopedFileHandle handle_;
};

}  // namespace zevrino::desktop::installer::testing
