#include "tests/e2e/windows/standin_control_win.h"

#include <gtest/gtest.h>

#include "tests/e2e/harness/standin_files.h"
#include "tests/e2e/harness/start_log.h"
#include "tests/e2e/windows/process_window_win.h"
#include "tests/e2e/windows/start_record_win.h"

namespace zevrino::e2e {

const std::wstring& WorkFolder() {
  static const std::wstring folder = [] {
    wchar_t given[MAX_PATH] = {};
    std::wstring path;
    if (GetEnvironmentVariableW(L"ZV_APPLICATION_TEST_DIR", given, MAX_PATH) > 0) {
      path = given;
    } else {
      wchar_t temp[MAX_PATH] = {};
      GetTempPathW(MAX_PATH, temp);
      path = std::wstring(temp) + L"zv-application-tests-" + std::to_wstring(GetCurrentProcessId());
    }
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
  }();
  return folder;
}

std::wstring ProgramFolder() {
  return OwnFolder();
}

bool CopyTestProgram(const std::wstring& name, const std::wstring& target) {
  const std::wstring source = ProgramFolder() + L"\\" + name;
  const bool copied = CopyFileW(source.c_str(), target.c_str(), FALSE) != 0;
  EXPECT_TRUE(copied) << "copying " << ToUtf8(source) << " to " << ToUtf8(target) << ": error "
                      << GetLastError();
  return copied;
}

namespace {

BOOL CALLBACK EndWindowProcess(HWND window, LPARAM) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wstring(name) == L"ZevrinoMainWindow" || std::wstring(name) == L"ZevrinoHttpsListener") {
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id == GetCurrentProcessId()) {
      return TRUE;
    }
    const ScopedKernelHandle process(
        OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, process_id));
    if (process.get() != nullptr) {
      TerminateProcess(process.get(), 99);
      WaitForSingleObject(process.get(), 10000);
    }
  }
  return TRUE;
}

}  // namespace

void EndEveryStandin() {
  EnumWindows(EndWindowProcess, 0);
}

Standin::Standin(const std::wstring& name, const std::string& behaviour)
    : path_(WorkFolder() + L"\\" + name + L".exe") {
  if (!CopyTestProgram(L"zevrino_standin.exe", path_)) {
    return;
  }
  ClearStandinRecords(path_);
  EXPECT_TRUE(WriteStandinBehaviour(path_, behaviour));
  // Wine's lost starts on a busy machine are tried again (StartProgram):
  // they are not what these checks are about.
  StartedProgram started = StartProgram(L"\"" + path_ + L"\"", path_.c_str(), WorkFolder().c_str());
  if (!started.handle.valid()) {
    ADD_FAILURE() << "starting " << ToUtf8(path_) << ": error " << GetLastError();
    return;
  }
  process_ = std::move(started.handle);
  process_id_ = started.id;
  started_ = !WaitForStarts(std::filesystem::path(path_ + L".log"), 1, kStartTimeout).empty();
  EXPECT_TRUE(started_) << ToUtf8(path_) << " did not note its start";
}

Standin::~Standin() {
  if (Running()) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 10000);
  }
}

std::vector<std::string> Standin::Messages() const {
  return ReadStandinMessages(path_);
}

HWND Standin::Window(const wchar_t* window_class) const {
  return FindProcessWindow(process_id_, window_class);
}

bool Standin::Running() const {
  return ExitCode() == STILL_ACTIVE;
}

DWORD Standin::ExitCode() const {
  DWORD code = 0;
  if (process_.get() == nullptr || !GetExitCodeProcess(process_.get(), &code)) {
    return 0xFFFFFFFF;
  }
  return code;
}

}  // namespace zevrino::e2e
