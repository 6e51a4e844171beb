// hold_file.exe PATH: keeps PATH open the way another program would (read
// access, shared for reading only, so it can be neither deleted nor
// replaced) until "PATH.release" exists or two minutes have passed. Creates
// "PATH.held" once the file is open, so that a test started from Linux can
// wait for that instead of sleeping. Exit code: 0 after a release, 1 when
// the file cannot be opened, 2 for a bad command line, 3 on time-out.

#include <windows.h>

#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    return 2;
  }
  const std::wstring path = argv[1];
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return 1;
  }
  HANDLE held = CreateFileW((path + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held != INVALID_HANDLE_VALUE) {
    CloseHandle(held);
  }
  const std::wstring release = path + L".release";
  for (int waited_ms = 0; waited_ms < 120000; waited_ms += 20) {
    if (GetFileAttributesW(release.c_str()) != INVALID_FILE_ATTRIBUTES) {
      CloseHandle(file);
      return 0;
    }
    Sleep(20);
  }
  CloseHandle(file);
  return 3;
}
