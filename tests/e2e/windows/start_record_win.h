#pragma once
// What the test programs that stand in for others (recorder.exe, the
// Zevrino.exe stand-in) share: the files beside their own (OwnPath) in which
// they note how they were started.
//
// "<own path>.log" gets one line per start, in UTF-8:
//   <command line as received> TAB <current directory> CR LF
// and "<own path>.argv" the arguments after the program name as
// CommandLineToArgvW splits that command line, each as "h" and its UTF-8 in
// hexadecimal, separated by blanks:
//   h<hex> h<hex> ... CR LF
// tests/e2e/harness/start_log.h reads both back.

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include <string>

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {

// Appends `text` to the file at `path` (created when missing). Several
// processes may append at once: append mode with a short retry keeps every
// write whole.
inline void AppendToFile(const std::wstring& path, const std::string& text) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
      CloseHandle(file);
      return;
    }
    Sleep(20);
  }
}

// The arguments of this start as the system splits them, in the .argv form.
inline std::string ArgumentLine() {
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string line;
  for (int i = 1; argv != nullptr && i < count; ++i) {
    line += i > 1 ? " h" : "h";
    for (unsigned char c : ToUtf8(argv[i])) {
      line += "0123456789abcdef"[c >> 4];
      line += "0123456789abcdef"[c & 15];
    }
  }
  LocalFree(argv);
  return line + "\r\n";
}

// Appends this start's line to "<own_path>.log" and its arguments to
// "<own_path>.argv".
inline void RecordStart(const std::wstring& own_path) {
  wchar_t directory[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(MAX_PATH * 4, directory);
  AppendToFile(own_path + L".argv", ArgumentLine());
  AppendToFile(own_path + L".log", ToUtf8(GetCommandLineW()) + "\t" + ToUtf8(directory) + "\r\n");
}

}  // namespace zevrino::e2e
