// hold_file.exe PATH READY UNTIL
//
// Opens PATH for reading with no sharing, so that no other process can
// rename, replace or delete it, then creates the file READY and keeps PATH
// open until the file UNTIL exists (polled every 10 ms, at most two minutes).
// The end-to-end tests signal it through files, which the Linux side can
// create without Windows. Exit code 0, or 2 for a bad command line, 3 when
// PATH cannot be opened, 4 when READY cannot be created, 5 on time-out.

#include <windows.h>

#include "tests/e2e/windows/test_sync_win.h"
#include "tests/e2e/windows/unique_handle_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    return 2;
  }
  const zevrino::e2e::UniqueHandle held(CreateFileW(argv[1], GENERIC_READ, 0, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held) {
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
