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

#include <cstdlib>
#include <string>

#include "tests/e2e/windows/start_record_win.h"

int wmain() {
  using namespace zevrino::e2e;
  const std::wstring own_path = OwnPath();
  if (own_path.empty()) {
    return 240;
  }
  RecordStart(own_path);
  return std::atoi(ReadPlainFile(own_path + L".exitcode").c_str());
}
