// swap_file.exe: another process of the same user that tries to put a
// program of its own in place of a file that someone checks and starts.
//
//   swap_file.exe TARGET READY STOP
//     Copies itself beside TARGET, creates the file READY, and until the file
//     STOP exists tries again and again (every millisecond) to replace TARGET
//     by that copy: a rename over it, and an open for writing.
//     Prints how many of those succeeded and exits with 0 (2 for a bad
//     command line, 3 when it cannot copy itself or make READY).
//   Started under any other name (in place of TARGET, by whoever starts
//   TARGET): creates "<own path>.swapped-in" and exits with 0, which is how a
//   test sees that the swapped program ran.

#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/e2e/windows/start_record_win.h"

namespace {

using zevrino::e2e::PlainFileExists;

bool IsSwapFileItself(const std::wstring& own_path) {
  const std::size_t slash = own_path.find_last_of(L"\\/");
  const std::wstring name = own_path.substr(slash == std::wstring::npos ? 0 : slash + 1);
  return CompareStringOrdinal(name.c_str(), -1, L"swap_file.exe", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring own_path = zevrino::e2e::OwnPath();
  if (!IsSwapFileItself(own_path)) {
    zevrino::e2e::AppendToFile(own_path + L".swapped-in", "ran\r\n");
    return 0;
  }
  if (argc != 4) {
    return 2;
  }
  const std::wstring target = argv[1];
  const std::wstring copy = target + L".swap";
  if (!CopyFileW(own_path.c_str(), copy.c_str(), FALSE)) {
    return 3;
  }
  HANDLE ready = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (ready == INVALID_HANDLE_VALUE) {
    return 3;
  }
  CloseHandle(ready);
  int swaps = 0;
  while (!PlainFileExists(argv[3])) {
    if (PlainFileExists(target)) {
      if (MoveFileExW(copy.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        ++swaps;
        CopyFileW(own_path.c_str(), copy.c_str(), FALSE);
      }
      HANDLE writer = CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
      if (writer != INVALID_HANDLE_VALUE) {
        ++swaps;
        CloseHandle(writer);
      }
    }
    Sleep(1);
  }
  DeleteFileW(copy.c_str());
  std::printf("swaps %d\n", swaps);
  return 0;
}
