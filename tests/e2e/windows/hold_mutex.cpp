// hold_mutex.exe NAME READY UNTIL
//
// Creates the named mutex NAME (not owned), as another installer or the
// application marks itself, then creates the file READY and keeps the name
// until the file UNTIL exists (polled every 10 ms, at most two minutes).
// Signalled through files like hold_file.exe. Exit code 0, or 2 for a bad
// command line, 3 when the name could not be created or already existed, 4
// when READY cannot be created, 5 on time-out.

#include <windows.h>

#include "tests/e2e/windows/test_sync_win.h"
#include "tests/e2e/windows/unique_handle_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    return 2;
  }
  const zevrino::e2e::UniqueHandle held(CreateMutexW(nullptr, FALSE, argv[1]));
  if (!held || GetLastError() == ERROR_ALREADY_EXISTS) {
    return 3;
  }
  const zevrino::e2e::UniqueHandle ready(CreateFileW(
      argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!ready) {
    return 4;
  }
  const bool released = zevrino::e2e::WaitUntil(
      [&] { return GetFileAttributesW(argv[3]) != INVALID_FILE_ATTRIBUTES; }, 120000);
  return released ? 0 : 5;
}
