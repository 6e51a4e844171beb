// recorder.exe: a program that only notes how it was started. Tests register
// it as a URL or scheme handler, or start it in place of a program whose
// start they want to see (a downloaded full installer, for example).
//
// Each start appends one line to "<own path>.log" (UTF-8):
//   <command line as received> TAB <current directory> CR LF
// and exits with the number found in "<own path>.exitcode" (0 when that
// file is absent or unreadable). Copies of the program under other names
// keep separate logs.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ToUtf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) {
    return {};
  }
  std::string out(static_cast<std::size_t>(size - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

int ExitCodeFrom(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) {
    return 0;
  }
  char text[32] = {};
  const std::size_t read = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  text[read] = '\0';
  return std::atoi(text);
}

}  // namespace

int wmain() {
  wchar_t own_path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, own_path, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) {
    return 240;
  }
  wchar_t directory[MAX_PATH * 4] = {};
  GetCurrentDirectoryW(MAX_PATH * 4, directory);

  const std::string line = ToUtf8(GetCommandLineW()) + "\t" + ToUtf8(directory) + "\r\n";
  const std::wstring log_path = std::wstring(own_path) + L".log";
  // Several starts may overlap: append mode with a short retry keeps every
  // line whole.
  for (int attempt = 0; attempt < 50; ++attempt) {
    HANDLE file = CreateFileW(log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
      break;
    }
    Sleep(20);
  }
  return ExitCodeFrom(std::wstring(own_path) + L".exitcode");
}
