// txn_hold_file PATH SHARE READY_EVENT RELEASE_EVENT
//
// Opens PATH (creating it if missing) with the given share mode (decimal
// FILE_SHARE_* bits), signals READY_EVENT and keeps the file open until
// RELEASE_EVENT is signalled or a minute has passed. The installer tests use
// it to hold files the way another program would: from another process.

#include <windows.h>

#include <shellapi.h>

#include <cwchar>

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 5) {
    return 2;
  }
  const DWORD share = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 3;
  }
  HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]);
  HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, argv[4]);
  if (ready == nullptr || release == nullptr) {
    return 4;
  }
  SetEvent(ready);
  WaitForSingleObject(release, 60000);
  CloseHandle(file);
  return 0;
}
