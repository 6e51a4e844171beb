// hold_file.exe PATH READY UNTIL
// hold_mutex.exe NAME READY UNTIL
//
// Play another process that holds something, built from this file twice:
// hold_file opens PATH for reading with no sharing, so that no other process
// can rename, replace or delete it; hold_mutex (ZV_HOLD_MUTEX) creates the
// named mutex NAME (not owned), as another installer or the application
// marks itself. Then each creates the file READY and keeps what it holds
// until the file UNTIL exists (polled every 10 ms, at most two minutes). The
// end-to-end tests signal them through files, which the Linux side can create
// without Windows. Exit code 0, or 2 for a bad command line, 3 when PATH
// cannot be opened or NAME could not be created or already existed, 4 when
// READY cannot be created, 5 on time-out.

#include <windows.h>

#include "tests/e2e/harness/support.h"

int wmain(int argc, wchar_t** argv) {
  using namespace zevrino::e2e;
  if (argc != 4) {
    return 2;
  }
#if defined(ZV_HOLD_MUTEX)
  const ScopedKernelHandle held(CreateMutexW(nullptr, FALSE, argv[1]));
  if (!held.valid() || GetLastError() == ERROR_ALREADY_EXISTS) {
    return 3;
  }
#else
  const ScopedKernelHandle held(CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held.valid()) {
    return 3;
  }
#endif
  const ScopedKernelHandle ready(CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!ready.valid()) {
    return 4;
  }
  return WaitUntil([&] { return PlainFileExists(argv[3]); }, std::chrono::minutes(2)) ? 0 : 5;
}
