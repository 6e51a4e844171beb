#pragma once
// Support of application_tests.exe: its work folder, and stand-ins for
// Zevrino.exe started with a chosen behaviour, watched and cleaned up.

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/e2e/harness/support.h"

namespace zevrino::e2e {

// The folder the checks work in: $ZV_APPLICATION_TEST_DIR (set by the host
// test), else a folder under %TEMP%. Created on first use.
const std::wstring& WorkFolder();
// The folder of application_tests.exe, where the build puts the stand-in
// and recorder.exe too.
std::wstring ProgramFolder();

// Copies the build's program `name` (e.g. L"zevrino_standin.exe") from
// ProgramFolder() to `target`. Asserts in the calling test on failure.
bool CopyTestProgram(const std::wstring& name, const std::wstring& target);

// Ends every process that shows a window of the application's classes, so
// that a failed check leaves no named object behind for the next one.
void EndEveryStandin();

// One running copy of the stand-in, "<WorkFolder>\<name>.exe", with
// `behaviour` written to its behaviour file. Started directly (not by the
// code under test) so that its process handle is at hand; the destructor
// terminates it if it still runs.
class Standin {
 public:
  Standin(const std::wstring& name, const std::string& behaviour);
  ~Standin();
  Standin(const Standin&) = delete;
  Standin& operator=(const Standin&) = delete;

  // True once the start line appeared (the objects exist).
  bool started() const { return started_; }
  // "<main|listener> <MESSAGE>" per close message received, "exit" when it
  // ended by itself.
  std::vector<std::string> Messages() const;
  // Its window of `window_class`, or null.
  HWND Window(const wchar_t* window_class = L"ZevrinoMainWindow") const;
  bool Running() const;
  // Its program file.
  const std::wstring& Path() const { return path_; }
  // The exit code once ended, else STILL_ACTIVE.
  DWORD ExitCode() const;

 private:
  std::wstring path_;
  ScopedKernelHandle process_;
  DWORD process_id_ = 0;
  bool started_ = false;
};

constexpr std::chrono::seconds kStartTimeout(60);

}  // namespace zevrino::e2e
