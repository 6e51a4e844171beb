// holder.exe: holds files and named mutexes for a test, as another process
// (a running application, a second installer) would, until the test lets go.
//
//   holder.exe --ready PATH --release PATH [--file PATH]... [--mutex NAME]...
//
// Every --file is opened for reading without any sharing (so nobody else can
// open, rename or delete it) and every --mutex is created, not owned. Then
// the file --ready is written, and the holder waits until the file --release
// exists, lets everything go and exits with 0. Exit codes: 1 bad command
// line, 2 something could not be taken (a mutex that already existed
// counts), 3 no release within five minutes.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr ULONGLONG kGiveUpMs = 5 * 60 * 1000;

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring ready;
  std::wstring release;
  std::vector<std::wstring> files;
  std::vector<std::wstring> mutexes;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::wstring option = argv[i];
    const std::wstring value = argv[i + 1];
    if (option == L"--ready") {
      ready = value;
    } else if (option == L"--release") {
      release = value;
    } else if (option == L"--file") {
      files.push_back(value);
    } else if (option == L"--mutex") {
      mutexes.push_back(value);
    } else {
      std::fwprintf(stderr, L"holder: unknown option %ls\n", option.c_str());
      return 1;
    }
  }
  if (ready.empty() || release.empty() || argc % 2 == 0) {
    std::fwprintf(stderr, L"holder: --ready PATH --release PATH [--file PATH] [--mutex NAME]\n");
    return 1;
  }

  std::vector<HANDLE> held;
  for (const std::wstring& file : files) {
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      std::fwprintf(stderr, L"holder: cannot open %ls: %lu\n", file.c_str(), GetLastError());
      return 2;
    }
    held.push_back(handle);
  }
  for (const std::wstring& name : mutexes) {
    HANDLE handle = CreateMutexW(nullptr, FALSE, name.c_str());
    if (handle == nullptr || GetLastError() == ERROR_ALREADY_EXISTS) {
      std::fwprintf(stderr, L"holder: mutex %ls not taken: %lu\n", name.c_str(), GetLastError());
      return 2;
    }
    held.push_back(handle);
  }

  HANDLE flag = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (flag == INVALID_HANDLE_VALUE) {
    return 2;
  }
  CloseHandle(flag);

  const ULONGLONG deadline = GetTickCount64() + kGiveUpMs;
  while (!Exists(release)) {
    if (GetTickCount64() >= deadline) {
      return 3;
    }
    Sleep(20);
  }
  for (HANDLE handle : held) {
    CloseHandle(handle);
  }
  return 0;
}
